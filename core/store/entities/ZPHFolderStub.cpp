#include "store/entities/ZPHFolderStub.h"

#include <QtCore/QUrl>

void ZPHFolderStub::addItem(const ZPHStubItem& item)
{
  const bool isNull = std::visit([](const auto& pointer) { return pointer == nullptr; }, item);
  if (!isNull)
    m_items.append(item);
}

int ZPHFolderStub::urlCount() const
{
  int count = 0;
  for (const ZPHStubItem& item : m_items) {
    if (const auto* folder = std::get_if<std::shared_ptr<ZPHFolderStub>>(&item))
      count += (*folder)->urlCount();
    else
      ++count;
  }
  return count;
}

void ZPHFolderStub::removeEmptyFolders()
{
  m_items.removeIf([](const ZPHStubItem& item) {
    const auto* folder = std::get_if<std::shared_ptr<ZPHFolderStub>>(&item);
    if (folder == nullptr)
      return false;
    (*folder)->removeEmptyFolders();
    return (*folder)->urlCount() == 0;
  });
}

void ZPHFolderStub::removeStandardizedURLs(const QSet<QString>& urlStrings, QStringList& removed)
{
  m_items.removeIf([&](const ZPHStubItem& item) {
    if (const auto* folder = std::get_if<std::shared_ptr<ZPHFolderStub>>(&item)) {
      (*folder)->removeStandardizedURLs(urlStrings, removed);
      return false;
    }
    const QString urlString = std::get<std::shared_ptr<ZPHFeedStub>>(item)->urlString();
    const QString standardized = QUrl(urlString).adjusted(QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
    if (!urlStrings.contains(standardized))
      return false;
    removed.append(urlString);
    return true;
  });
}

std::optional<QStringList> ZPHFolderStub::removeStandardizedURLsReturningURLsRemoved(const QSet<QString>& urlStrings,
                                                                                     bool removingEmptyFolders)
{
  QStringList removed;
  removeStandardizedURLs(urlStrings, removed);
  if (removingEmptyFolders)
    removeEmptyFolders();
  if (removed.isEmpty())
    return std::nullopt;
  return removed;
}

QString ZPHFolderStub::description() const
{
  QStringList parts;
  for (const ZPHStubItem& item : m_items) {
    if (const auto* folder = std::get_if<std::shared_ptr<ZPHFolderStub>>(&item))
      parts.append((*folder)->description());
    else
      parts.append(std::get<std::shared_ptr<ZPHFeedStub>>(item)->urlString());
  }
  return QStringLiteral("[title: %1, list:(%2)]").arg(m_title, parts.join(QStringLiteral(", ")));
}
