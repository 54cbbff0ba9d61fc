#include "articlelist/ZPHArticleListModel.h"

#include "foundation/CBDateManager.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLocale>

#include <algorithm>

namespace {

// The locale's long date without the weekday, months abbreviated.
QString mediumDateFormat()
{
  static const QString format = [] {
    QString pattern = QLocale().dateFormat(QLocale::LongFormat);
    pattern.remove(QStringLiteral("dddd, "));
    pattern.remove(QStringLiteral("dddd "));
    pattern.remove(QStringLiteral("dddd"));
    pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return pattern.trimmed();
  }();
  return format;
}

// The locale's short time without seconds.
QString shortTimeFormat()
{
  static const QString format = [] {
    QString pattern = QLocale().timeFormat(QLocale::ShortFormat);
    pattern.remove(QStringLiteral(":ss"));
    pattern.remove(QStringLiteral(".ss"));
    return pattern;
  }();
  return format;
}

}  // namespace

ZPHArticleListModel::ZPHArticleListModel(ZPHArticleListController* controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
}

ZPHArticleListModel::~ZPHArticleListModel() = default;

const CBDateManager* ZPHArticleListModel::dateManager() const
{
  return m_dateManager ? m_dateManager : CBDateManager::sharedManager();
}

void ZPHArticleListModel::setColumns(int columns)
{
  columns = qBound(1, columns, 2);
  if (columns == m_columns)
    return;
  beginResetModel();
  m_columns = columns;
  endResetModel();
}

void ZPHArticleListModel::setEntries(const QList<Entry>& entries)
{
  beginResetModel();
  m_entries = entries;
  const QList<ZPHArticleListRow>& articles = m_controller->articles();
  m_objectIDs.clear();
  m_objectIDs.reserve(m_entries.size());
  for (const Entry& entry : std::as_const(m_entries)) {
    const bool listed = !entry.isGroup() && entry.article < articles.size();
    m_objectIDs.append(listed ? articles.at(entry.article).objectID : ZPHManagedObjectID());
  }
  rebuildRowIndexes();
  m_loadedPages.assign(size_t(m_entries.size() / PageSize + 1), false);
  endResetModel();
}

void ZPHArticleListModel::rebuildRowIndexes()
{
  m_rowOfArticle.assign(size_t(m_controller->count()), -1);
  m_groupRows.clear();
  for (int row = 0; row < m_entries.size(); ++row) {
    const qsizetype article = m_entries.at(row).article;
    if (article >= 0 && article < qsizetype(m_rowOfArticle.size()))
      m_rowOfArticle[size_t(article)] = row;
    else if (article < 0)
      m_groupRows.append(row);
  }
}

std::optional<std::vector<int>> ZPHArticleListModel::updateEntries(const QList<Entry>& entries)
{
  const QList<ZPHArticleListRow>& articles = m_controller->articles();
  const qsizetype oldCount = m_entries.size();
  const qsizetype newCount = entries.size();
  const auto objectIDOf = [&articles](const Entry& entry) {
    return !entry.isGroup() && entry.article < articles.size() ? articles.at(entry.article).objectID
                                                               : ZPHManagedObjectID();
  };

  // Where each row's article or header is in the new list; each new row is
  // taken once.
  QHash<ZPHManagedObjectID, qsizetype> newRowOfArticle;
  QHash<QString, qsizetype> newRowOfHeader;
  newRowOfArticle.reserve(newCount);
  for (qsizetype row = 0; row < newCount; ++row) {
    const Entry& entry = entries.at(row);
    if (entry.isGroup())
      newRowOfHeader.insert(entry.group.title(), row);
    else if (const ZPHManagedObjectID id = objectIDOf(entry); !id.isNull())
      newRowOfArticle.insert(id, row);
  }
  std::vector<int> target(size_t(oldCount), -1);
  std::vector<bool> taken(size_t(newCount), false);
  for (qsizetype row = 0; row < oldCount; ++row) {
    const Entry& entry = m_entries.at(row);
    const qsizetype found = entry.isGroup() ? newRowOfHeader.value(entry.group.title(), -1)
                                            : newRowOfArticle.value(m_objectIDs.at(row), -1);
    if (found >= 0 && !taken[size_t(found)]) {
      target[size_t(row)] = int(found);
      taken[size_t(found)] = true;
    }
  }

  // The rows that stay put are the longest run (not necessarily neighbours)
  // whose new places rise; every other row that stays moves.
  std::vector<qsizetype> tails;  // the row ending the best run of each length
  std::vector<qsizetype> previous(size_t(oldCount), -1);
  for (qsizetype row = 0; row < oldCount; ++row) {
    const int place = target[size_t(row)];
    if (place < 0)
      continue;
    const auto at = std::lower_bound(tails.begin(), tails.end(), place,
                                     [&target](qsizetype r, int p) { return target[size_t(r)] < p; });
    if (at != tails.begin())
      previous[size_t(row)] = *(at - 1);
    if (at == tails.end())
      tails.push_back(row);
    else
      *at = row;
  }
  std::vector<bool> staysPut(size_t(oldCount), false);
  for (qsizetype row = tails.empty() ? -1 : tails.back(); row >= 0; row = previous[size_t(row)])
    staysPut[size_t(row)] = true;

  qsizetype runs = 0;
  for (qsizetype row = 0; row < oldCount; ++row) {
    runs += target[size_t(row)] < 0 && (row == 0 || target[size_t(row - 1)] >= 0) ? 1 : 0;
    runs += target[size_t(row)] >= 0 && !staysPut[size_t(row)] ? 1 : 0;
  }
  for (qsizetype row = 0; row < newCount; ++row)
    runs += !taken[size_t(row)] && (row == 0 || taken[size_t(row - 1)]) ? 1 : 0;
  if (runs > MaxInPlaceRuns)
    return std::nullopt;

  // The rows that stay read the controller's articles as they are now; the
  // rows that go have no article until they are gone.
  for (qsizetype row = 0; row < oldCount; ++row) {
    const int place = target[size_t(row)];
    if (place >= 0)
      m_entries[row] = entries.at(place);
    else if (!m_entries.at(row).isGroup())
      m_entries[row].article = GoneArticle;
  }
  rebuildRowIndexes();
  // Where each row is headed, in step with the rows as they are.
  QList<int> places;
  QList<bool> placed;
  places.reserve(oldCount);
  placed.reserve(oldCount);
  for (qsizetype row = 0; row < oldCount; ++row) {
    places.append(target[size_t(row)]);
    placed.append(staysPut[size_t(row)]);
  }
  for (qsizetype last = oldCount - 1; last >= 0;) {
    if (places.at(last) >= 0) {
      --last;
      continue;
    }
    qsizetype first = last;
    while (first > 0 && places.at(first - 1) < 0) --first;
    beginRemoveRows(QModelIndex(), int(first), int(last));
    m_entries.remove(first, last - first + 1);
    m_objectIDs.remove(first, last - first + 1);
    places.remove(first, last - first + 1);
    placed.remove(first, last - first + 1);
    rebuildRowIndexes();
    endRemoveRows();
    last = first - 1;
  }
  // Each row that moves goes, once, behind the last row in place before
  // it in the new list; so the views' indexes (the selection) go with it.
  for (;;) {
    qsizetype from = -1;
    for (qsizetype row = 0; row < places.size() && from < 0; ++row) from = placed.at(row) ? -1 : row;
    if (from < 0)
      break;
    qsizetype to = 0;  // the row it goes before, counted before the move
    for (qsizetype row = 0; row < places.size(); ++row) {
      if (row != from && placed.at(row) && places.at(row) < places.at(from))
        to = row + 1;
    }
    if (to != from && to != from + 1) {
      beginMoveRows(QModelIndex(), int(from), int(from), QModelIndex(), int(to));
      const qsizetype at = to > from ? to - 1 : to;
      m_entries.move(from, at);
      m_objectIDs.move(from, at);
      places.move(from, at);
      placed.move(from, at);
      placed[at] = true;
      rebuildRowIndexes();
      endMoveRows();
    } else {
      placed[from] = true;
    }
  }
  for (qsizetype first = 0; first < newCount;) {
    if (taken[size_t(first)]) {
      ++first;
      continue;
    }
    qsizetype last = first;
    while (last + 1 < newCount && !taken[size_t(last + 1)]) ++last;
    beginInsertRows(QModelIndex(), int(first), int(last));
    for (qsizetype row = first; row <= last; ++row) {
      m_entries.insert(row, entries.at(row));
      m_objectIDs.insert(row, objectIDOf(entries.at(row)));
    }
    rebuildRowIndexes();
    endInsertRows();
    first = last + 1;
  }
  m_loadedPages.assign(size_t(m_entries.size() / PageSize + 1), false);
  return target;
}

QList<ZPHArticleListModel::Entry> ZPHArticleListModel::entriesForArticles(qsizetype count)
{
  QList<Entry> entries;
  entries.reserve(count);
  for (qsizetype i = 0; i < count; ++i) entries.append(Entry{i, {}});
  return entries;
}

QList<ZPHArticleListModel::Entry> ZPHArticleListModel::entriesUnderHeader(qsizetype count, const QString& title)
{
  QList<Entry> entries;
  entries.reserve(count + 1);
  entries.append(Entry{-1, ZPHArticleListGroupItem(title)});
  for (qsizetype i = 0; i < count; ++i) entries.append(Entry{i, {}});
  return entries;
}

QList<ZPHArticleListModel::Entry> ZPHArticleListModel::groupedEntries(const QList<ZPHArticleListRow>& rows,
                                                                      const CBDateManager* dateManager)
{
  QList<Entry> entries;
  entries.reserve(rows.size() + 16);
  const qint64 yesterday = dateManager->firstSecondOfYesterday().toMSecsSinceEpoch();
  const qint64 today = dateManager->firstSecondOfToday().toMSecsSinceEpoch();
  const qint64 tomorrow = dateManager->firstSecondOfTomorrow().toMSecsSinceEpoch();
  const QCalendar calendar = dateManager->userCalendar();
  const QTimeZone zone = dateManager->userTimeZone();
  enum { None = -1 };
  int lastDayGroup = None;
  qint64 lastMonth = None;  // year * 12 + month; 0 for no date
  // The month of the last month looked up, as instants: rows come sorted,
  // so the calendar is asked only when a date leaves it.
  bool haveMonth = false;
  qint64 monthStart = 0;
  qint64 monthEnd = 0;
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const QDateTime& date = rows.at(i).dateForDisplay;
    const qint64 ms = date.isValid() ? date.toMSecsSinceEpoch() : 0;
    int group = 3;
    if (date.isValid() && ms >= yesterday)
      group = ms >= tomorrow ? 0 : (ms >= today ? 1 : 2);
    if (group == 3) {
      if (!(date.isValid() && haveMonth && ms >= monthStart && ms < monthEnd)) {
        qint64 month = 0;
        QString title = QLatin1String("");
        haveMonth = false;
        if (date.isValid()) {
          int year = 0;
          int monthOfYear = 0;
          dateManager->year(&year, &monthOfYear, date);
          month = qint64(year) * 12 + monthOfYear;
          const QDate first = calendar.dateFromParts(year, monthOfYear, 1);
          monthStart = first.startOfDay(zone).toMSecsSinceEpoch();
          monthEnd = first.addMonths(1, calendar).startOfDay(zone).toMSecsSinceEpoch();
          haveMonth = true;
          title = QLocale().toString(first, QStringLiteral("MMMM yyyy"), calendar);
        }
        if (month != lastMonth) {
          entries.append(Entry{-1, ZPHArticleListGroupItem(title)});
          lastMonth = month;
        }
      }
    } else if (group != lastDayGroup) {
      const QString title = group == 1 ? tr("Today") : (group == 2 ? tr("Yesterday") : tr("Future"));
      entries.append(Entry{-1, ZPHArticleListGroupItem(title)});
      lastDayGroup = group;
    }
    entries.append(Entry{i, {}});
  }
  return entries;
}

bool ZPHArticleListModel::isGroupRow(int row) const
{
  return row >= 0 && row < m_entries.size() && m_entries.at(row).isGroup();
}

const ZPHArticleListGroupItem* ZPHArticleListModel::groupItemAtRow(int row) const
{
  return isGroupRow(row) ? &m_entries.at(row).group : nullptr;
}

void ZPHArticleListModel::loadPageOfRow(int row) const
{
  const size_t page = size_t(row / PageSize);
  if (page >= m_loadedPages.size() || m_loadedPages[page])
    return;
  m_loadedPages[page] = true;
  // The articles of the page's rows; headers take no place in the list.
  qsizetype from = -1;
  qsizetype to = -1;
  const int end = std::min<int>(int(m_entries.size()), int((page + 1) * PageSize));
  for (int r = int(page * PageSize); r < end; ++r) {
    const qsizetype article = m_entries.at(r).article;
    if (article < 0)
      continue;
    if (from < 0)
      from = article;
    to = article + 1;
  }
  if (from >= 0)
    m_controller->loadArticles(from, to);
}

CBDataArticle* ZPHArticleListModel::articleAtRow(int row) const
{
  if (!isArticleRow(row) || m_entries.at(row).article >= m_controller->count())
    return nullptr;
  loadPageOfRow(row);
  return m_controller->articleAtIndex(m_entries.at(row).article);
}

ZPHManagedObjectID ZPHArticleListModel::objectIDAtRow(int row) const
{
  if (!isArticleRow(row))
    return {};
  const qsizetype article = m_entries.at(row).article;
  return article < m_controller->count() ? m_controller->articles().at(article).objectID : ZPHManagedObjectID();
}

int ZPHArticleListModel::rowForArticleIndex(qsizetype index) const
{
  return index >= 0 && index < qsizetype(m_rowOfArticle.size()) ? m_rowOfArticle[size_t(index)] : -1;
}

int ZPHArticleListModel::rowForObjectID(const ZPHManagedObjectID& objectID) const
{
  return rowForArticleIndex(m_controller->indexOfArticle(objectID));
}

bool ZPHArticleListModel::isArticleAtRowLastInGroup(int row) const
{
  return row + 1 < m_entries.size() && m_entries.at(row + 1).isGroup();
}

int ZPHArticleListModel::firstArticleRow() const
{
  for (int row = 0; row < m_entries.size(); ++row) {
    if (!m_entries.at(row).isGroup())
      return row;
  }
  return -1;
}

int ZPHArticleListModel::lastArticleRow() const
{
  for (int row = int(m_entries.size()) - 1; row >= 0; --row) {
    if (!m_entries.at(row).isGroup())
      return row;
  }
  return -1;
}

void ZPHArticleListModel::articleStatesChanged(const QList<qsizetype>& indexes)
{
  QList<int> rows;
  rows.reserve(indexes.size());
  for (const qsizetype index : indexes) {
    const int row = rowForArticleIndex(index);
    if (row >= 0)
      rows.append(row);
  }
  if (rows.isEmpty())
    return;
  std::sort(rows.begin(), rows.end());
  // One announcement per run of neighbouring rows; rows scattered in many
  // runs (a bulk change) in one announcement from the first to the last,
  // which views answer with one redraw instead of one per run.
  qsizetype runs = 1;
  for (qsizetype i = 1; i < rows.size(); ++i) {
    if (rows.at(i) > rows.at(i - 1) + 1)
      ++runs;
  }
  if (runs > ManyRuns) {
    Q_EMIT dataChanged(index(rows.first(), 0), index(rows.last(), m_columns - 1));
    return;
  }
  for (qsizetype i = 0; i < rows.size();) {
    qsizetype j = i;
    while (j + 1 < rows.size() && rows.at(j + 1) <= rows.at(j) + 1) ++j;
    Q_EMIT dataChanged(index(rows.at(i), 0), index(rows.at(j), m_columns - 1));
    i = j + 1;
  }
}

void ZPHArticleListModel::allRowsChanged()
{
  if (!m_entries.isEmpty())
    Q_EMIT dataChanged(index(0, 0), index(int(m_entries.size()) - 1, m_columns - 1));
}

int ZPHArticleListModel::rowCount(const QModelIndex& parent) const
{
  return parent.isValid() ? 0 : int(m_entries.size());
}

int ZPHArticleListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_columns; }

QDateTime ZPHArticleListModel::displayDateForArticle(const CBDataArticle* article)
{
  if (article != nullptr) {
    for (const QDateTime& date : {article->datePublished(), article->dateModified(), article->dateArrived()}) {
      if (date.isValid())
        return date;
    }
  }
  return QDateTime::currentDateTimeUtc();
}

QString ZPHArticleListModel::relativeDateString(const QDateTime& date, const CBDateManager* dateManager)
{
  const QDateTime local = date.toTimeZone(dateManager->userTimeZone());
  const int group = dateManager->groupForDate(date);
  if (group == 1 || group == 2) {
    return QStringLiteral("%1 %2").arg(group == 1 ? tr("Today") : tr("Yesterday"),
                                       QLocale().toString(local.time(), shortTimeFormat()));
  }
  return QLocale().toString(local.date(), mediumDateFormat());
}

QString ZPHArticleListModel::accessibilityLabel(const QString& title, const QString& published, const QString& feedName)
{
  QString label;
  if (!title.isEmpty())
    label += QStringLiteral("Article: %1\n\n\n").arg(title);
  label += QStringLiteral("Published %1\n\n\n").arg(published);
  if (!feedName.isEmpty())
    label += QStringLiteral("By %1\n\n\n").arg(feedName);
  return label;
}

QVariant ZPHArticleListModel::data(const QModelIndex& index, int role) const
{
  if (!index.isValid() || index.row() >= m_entries.size())
    return {};
  const int row = index.row();
  const Entry& entry = m_entries.at(row);
  switch (role) {
    case IsGroupRowRole:
      return entry.isGroup();
    case GroupTitleRole:
      return entry.isGroup() ? QVariant(entry.group.title()) : QVariant();
    case IsLastArticleInGroupRole:
      return !entry.isGroup() && isArticleAtRowLastInGroup(row);
    default:
      break;
  }
  if (entry.isGroup())
    return role == Qt::DisplayRole || role == Qt::AccessibleTextRole ? QVariant(entry.group.title()) : QVariant();
  if (entry.article >= m_controller->count())
    return {};
  const ZPHArticleListRow& listRow = m_controller->articles().at(entry.article);
  switch (role) {
    case ObjectIDRole:
      return QVariant::fromValue(listRow.objectID);
    case DateForDisplayRole:
      return listRow.dateForDisplay;
    default:
      break;
  }
  CBDataArticle* article = articleAtRow(row);
  switch (role) {
    case ArticleRole:
      return article ? QVariant::fromValue(static_cast<ZPHManagedObject*>(article)) : QVariant();
    case ReadRole:
      return article ? article->read() : m_controller->articles().at(entry.article).read;
    case FlaggedRole:
      return article ? article->flagged() : m_controller->articles().at(entry.article).flagged;
    case Qt::DisplayRole:
      if (index.column() == DateColumn)
        return article ? relativeDateString(displayDateForArticle(article), dateManager()) : QVariant();
      return article ? article->plainTextTitleForDisplay() : QVariant();
    case Qt::ToolTipRole:
      // The whole title where the row cuts it, shown as text, never as markup.
      if (article == nullptr || index.column() == DateColumn)
        return {};
      return ZPHPlainTextToolTip(article->plainTextTitleForDisplay());
    case Qt::AccessibleTextRole: {
      if (article == nullptr)
        return {};
      QString feedName;
      if (const CBDataController* data = ZPHCoreApplicationDelegate::sharedDelegate()
                                             ? ZPHCoreApplicationDelegate::sharedDelegate()->dataController()
                                             : nullptr) {
        if (const CBDataAccount* account = data->localAccount()) {
          if (const CBFeed* feed = account->feedWithURL(QUrl(article->feedURL())))
            feedName = feed->feedSpecifiedName();
        }
      }
      return accessibilityLabel(article->plainTextTitle(),
                                relativeDateString(displayDateForArticle(article), dateManager()), feedName);
    }
    default:
      return {};
  }
}

QVariant ZPHArticleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  return section == DateColumn ? tr("Date") : tr("Title");
}

Qt::ItemFlags ZPHArticleListModel::flags(const QModelIndex& index) const
{
  if (!index.isValid())
    return Qt::NoItemFlags;
  // Headers are selectable by the program; the layouts keep the user's
  // selections on articles.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
