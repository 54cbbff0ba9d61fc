#include "sourcelist/ZPHSourceListDropRules.h"

#include "common/ZPHAppServices.h"
#include "foundation/CBString.h"

#include <QtCore/QMimeData>

const QString ZPHSourceListDropRules::LocalDragType = QStringLiteral("application/x-zephlin-source-list-nodes");

namespace {

// Feed-scheme addresses as web addresses.
QString rationalized(const QString& address)
{
  const QString trimmed = address.trimmed();
  if (CBURLIsFeedURL(trimmed)) {
    const QString web = CBURLWithFeedURL(trimmed);
    if (!web.isEmpty())
      return web;
  }
  return trimmed;
}

}  // namespace

std::optional<ZPHSourceListDropRules::DropInfo> ZPHSourceListDropRules::infoFromMimeData(const QMimeData* data)
{
  if (data == nullptr)
    return std::nullopt;
  DropInfo info;
  if (data->hasFormat(QStringLiteral("text/x-moz-url"))) {
    // UTF-16: address, line break, title; repeated.
    const QByteArray raw = data->data(QStringLiteral("text/x-moz-url"));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); i += 2) {
      if (lines.at(i).trimmed().isEmpty())
        continue;
      info.addresses.append(rationalized(lines.at(i)));
      info.titles.append(i + 1 < lines.size() ? lines.at(i + 1).trimmed() : QString());
    }
  } else if (data->hasUrls()) {
    for (const QUrl& url : data->urls()) {
      if (url.isValid())
        info.addresses.append(rationalized(url.toString(QUrl::FullyEncoded)));
    }
  } else if (data->hasText()) {
    info.addresses.append(rationalized(data->text()));
  }
  if (info.addresses.isEmpty() || info.addresses.first().isEmpty())
    return std::nullopt;
  info.address = info.addresses.first();
  info.name = info.titles.value(0);
  return info;
}

ZPHSourceListDropRules::ExternalDrop ZPHSourceListDropRules::externalDropForAddress(const QString& address, QUrl* url)
{
  const QString trimmed = address.trimmed();
  if (trimmed.isEmpty() || trimmed.contains(QLatin1Char(' ')))
    return ExternalDrop::Refuse;
  const QUrl parsed(trimmed, QUrl::StrictMode);
  if (!parsed.isValid())
    return ExternalDrop::Refuse;
  const QString scheme = parsed.scheme().toLower();
  if (scheme == QLatin1String("file")) {
    // A file is imported, never subscribed to.
    if (!parsed.isLocalFile() || !ZPHAppServices::isProbablyOPMLFile(parsed.toLocalFile()))
      return ExternalDrop::Refuse;
    if (url != nullptr)
      *url = parsed;
    return ExternalDrop::ImportFile;
  }
  if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || parsed.host().isEmpty())
    return ExternalDrop::Refuse;
  if (url != nullptr)
    *url = parsed;
  return ExternalDrop::Subscribe;
}

int ZPHSourceListDropRules::landingIndex(int currentIndex, int dropIndex)
{
  if (dropIndex < 0)
    return dropIndex;
  return currentIndex >= 0 && currentIndex < dropIndex ? dropIndex - 1 : dropIndex;
}

ZPHSourceListDropRules::DropTarget ZPHSourceListDropRules::retargetProposal(const DropProposal& proposal)
{
  const DropCheck check = proposal.local ? DropCheck::Local : DropCheck::External;
  // A file: a subscription list goes to the account as a copy.
  if (!proposal.local && proposal.fileAddress) {
    if (!proposal.subscriptionListFile)
      return {};
    return {DropTargetNode::Account, -1, -1, DropCheck::ImportFile};
  }
  switch (proposal.item) {
    case ProposedItem::EmptyArea:
    case ProposedItem::SmartFeeds:
      return {DropTargetNode::Account, -1, -1, check};
    case ProposedItem::Group:
      return {DropTargetNode::Item, proposal.childIndex, proposal.childIndex, check};
    case ProposedItem::Favorite:
      // Only rows of this list become favourites by a drop on one.
      if (!proposal.local)
        return {};
      return {DropTargetNode::ItemParent, -1, -1, check};
    case ProposedItem::Row: {
      if (!proposal.rowHasParent || !proposal.rowParentHasParent)
        return {};
      // Onto a row: into its parent at the row's place; a local drag is
      // shown on the parent itself.
      if (proposal.local)
        return {DropTargetNode::ItemParent, -1, proposal.rowIndexInParent, check};
      return {DropTargetNode::ItemParent, proposal.rowIndexInParent, proposal.rowIndexInParent, check};
    }
  }
  return {};
}

ZPHSourceListDropRules::LocalDrop ZPHSourceListDropRules::retargetLocalDrop(const LocalDropFacts& facts, int childIndex,
                                                                            int proposedChildIndex)
{
  if (facts.targetIsFavorites) {
    // A feed that already is a favourite points at its own row there.
    if (facts.oneDraggedIsFavorite)
      return {LocalDropNode::FavoriteOfDragged, -1};
    return {LocalDropNode::Target, -1};
  }
  if (facts.manualOrder || (facts.targetIsSpecialGroup && facts.sortInGroupsOnly))
    return {LocalDropNode::Target, childIndex};
  // Sorted by name: a row dropped among its own siblings lands on itself;
  // elsewhere the mark goes where the sort will put it.
  if (facts.oneDraggedIsChildOfTarget)
    return {LocalDropNode::Dragged, -1};
  if (proposedChildIndex != facts.sortedIndex && facts.sortedIndex >= 0)
    return {LocalDropNode::Target, facts.hidingFeedsWithoutUnread ? -1 : facts.sortedIndex};
  return {LocalDropNode::Target, childIndex};
}

int ZPHSourceListDropRules::externalDropIndex(int proposedChildIndex, bool manualOrder, bool targetIsSpecialGroup,
                                              bool sortInGroupsOnly)
{
  if (manualOrder || (targetIsSpecialGroup && sortInGroupsOnly))
    return proposedChildIndex;
  return -1;
}
