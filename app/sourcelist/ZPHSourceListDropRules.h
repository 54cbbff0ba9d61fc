#pragma once

#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <optional>

class QMimeData;

// What a drop on the source list means, as pure rules.
//
// Dropped data is read in this order: the list's own drag type (feeds and
// folders dragged inside the list), a link with its title
// ("text/x-moz-url"), a list of addresses ("text/uri-list"), plain text.
// Feed-scheme addresses become web addresses. An address from outside is
// subscribed to only when it is an http or https address with a host; a
// file address is a file to import when it looks like a subscription list;
// anything else (javascript:, data:, text with a space, ...) is refused.
class ZPHSourceListDropRules {
public:
  ZPHSourceListDropRules() = delete;

  // The list's own drag type: the dragged rows stay with the view.
  static const QString LocalDragType;  // "application/x-zephlin-source-list-nodes"

  struct DropInfo {
    QString address;  // the first address, trimmed
    QString name;     // its title, when the data had one
    QStringList addresses;
    QStringList titles;
  };
  // Null when the data holds nothing the list takes.
  static std::optional<DropInfo> infoFromMimeData(const QMimeData* data);

  enum class ExternalDrop { Refuse, Subscribe, ImportFile };
  // What an address dropped from outside does; for a file, whether the
  // file looks like a subscription list decides.
  static ExternalDrop externalDropForAddress(const QString& address, QUrl* url = nullptr);

  // Where a node at `currentIndex` of the drop's own parent (-1: another
  // parent) lands when dropped into the gap before `dropIndex` under manual
  // order: taking it out first shifts the gaps after it by one.
  static int landingIndex(int currentIndex, int dropIndex);
};
