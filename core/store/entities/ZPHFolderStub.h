#pragma once

#include "store/entities/ZPHFeedStub.h"

#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>
#include <optional>
#include <variant>

class ZPHFolderStub;
// One item of a folder stub: a feed stub or a folder stub.
using ZPHStubItem = std::variant<std::shared_ptr<ZPHFeedStub>, std::shared_ptr<ZPHFolderStub>>;

// A folder as an importer describes it: a title and its feed and folder
// stubs in order.
class ZPHFolderStub {
public:
  explicit ZPHFolderStub(const QString& title) : m_title(title) {}

  QString title() const { return m_title; }
  QList<ZPHStubItem> items() const { return m_items; }
  // Null stubs are ignored.
  void addItem(const ZPHStubItem& item);

  // Feed stubs here and in every folder stub below.
  int urlCount() const;
  // Depth first: drops every folder stub that holds no feed stub after its
  // own clean-up.
  void removeEmptyFolders();
  // Drops, here and below, each feed stub whose address, standardized, is in
  // `urlStrings`; answers the dropped addresses (nullopt when none). Then,
  // when asked, removeEmptyFolders().
  std::optional<QStringList> removeStandardizedURLsReturningURLsRemoved(const QSet<QString>& urlStrings,
                                                                        bool removingEmptyFolders);

  // "[title: <title>, list:(<items>)]"
  QString description() const;

private:
  void removeStandardizedURLs(const QSet<QString>& urlStrings, QStringList& removed);

  QString m_title;
  QList<ZPHStubItem> m_items;
};
