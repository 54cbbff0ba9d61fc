#include "articlelist/ZPHArticleListCellView.h"

#include "articlelist/ZPHBookmarkSlides.h"

#include "articlelist/ZPHArticleGroupHeaderView.h"
#include "articlelist/ZPHArticleListBookmarkView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHStandardLayoutRowView.h"
#include "common/FRNHCGUtils.h"
#include "feeds/images/CBThumbnailController.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHNamedImage.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QSet>
#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QTextLayout>

#include <cmath>

namespace {

constexpr qsizetype TitleLimit = 1000;
constexpr qsizetype PreviewLimitPerLine = 400;

QSet<QString>& tooSmallThumbnails()
{
  static QSet<QString> addresses;
  return addresses;
}

CBFeed* feedOfArticle(const CBDataArticle* article)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const CBDataController* data = delegate ? delegate->dataController() : nullptr;
  const CBDataAccount* account = data ? data->localAccount() : nullptr;
  return account && article ? account->feedWithURL(QUrl(article->feedURL())) : nullptr;
}

void drawTextWithShadow(QPainter* painter, const QRectF& rect, const QString& text, const QColor& color,
                        const QColor& shadow)
{
  if (shadow.isValid() && shadow.alpha() > 0) {
    painter->setPen(shadow);
    painter->drawText(rect.translated(0, 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  }
  painter->setPen(color);
  painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

}  // namespace

ZPHArticleListCellView::ZPHArticleListCellView(ZPHArticleListTableView* table)
    : QStyledItemDelegate(table), m_table(table)
{
  m_bookmarkSlides = new ZPHBookmarkSlides(this);
  if (table != nullptr)
    m_bookmarkSlides->setViewport(table->viewport());
}

ZPHArticleListCellView::~ZPHArticleListCellView() = default;

int ZPHArticleListCellView::numberOfPreviewLines()
{
  return int(
      qMax<qint64>(1, ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHNumberOfLinesInArticleListPreviewsKey)));
}

bool ZPHArticleListCellView::showsPictures()
{
  return ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHShowPicturesInArticleListDefaultsKey);
}

qreal ZPHArticleListCellView::heightForArticleWithThumbnail(int previewLines) { return previewLines == 1 ? 67 : 83; }

int ZPHArticleListCellView::rowHeight(int previewLines, bool showingMultipleFeeds)
{
  switch (previewLines) {
    case 1:
      return (showingMultipleFeeds ? 73 : 67) + 4;
    case 2:
      return (showingMultipleFeeds ? 88 : 83) + 4;
    case 3:
      return (showingMultipleFeeds ? 103 : 96) + 4;
    default:
      return int(heightForArticleWithThumbnail(previewLines)) + 4;
  }
}

QRectF ZPHArticleListCellView::innerBox(const QRectF& bounds)
{
  return QRectF(bounds.left() + 11, bounds.top() + 11, bounds.width() - 22, bounds.height() - 22).toAlignedRect();
}

qreal ZPHArticleListCellView::thumbnailBoxWidth(bool hasThumbnailAddress, qreal boundsWidth, bool showPictures,
                                                int previewLines)
{
  if (!hasThumbnailAddress || boundsWidth < 152.5 || !showPictures)
    return 0;
  return previewLines == 1 ? 45 : 61;
}

QRectF ZPHArticleListCellView::thumbnailBox(const QRectF& innerBox, qreal width)
{
  return QRectF(innerBox.right() - width, innerBox.top(), width, width);
}

QRectF ZPHArticleListCellView::textBox(const QRectF& innerBox, const QRectF& thumbnailBox)
{
  QRectF box = innerBox;
  if (thumbnailBox.width() > 0)
    box.setWidth(thumbnailBox.left() - 13 - innerBox.left());
  return box;
}

qreal ZPHArticleListCellView::dateTextHeight(bool showFeedName)
{
  static const qreal measured = [] {
    QFont font = dateFont();
    font.setBold(true);
    return QFontMetricsF(font).boundingRect(QRectF(0, 0, 1000, 1000), 0, QStringLiteral("KyZPjgQ")).height();
  }();
  return showFeedName ? qMax<qreal>(measured, 16) : measured;
}

QRectF ZPHArticleListCellView::dateBox(const QRectF& textBox, qreal dateHeight)
{
  return QRectF(textBox.left(), textBox.bottom() - dateHeight + 5, textBox.width(), dateHeight);
}

QRectF ZPHArticleListCellView::bookmarkFrame(const QRectF& bounds)
{
  const QSizeF size = ZPHArticleListBookmarkView::sizeToFit();
  return QRectF(bounds.right() - size.width() - 8, bounds.top(), size.width(), size.height());
}

ZPHArticleListCellView::ThumbnailFit ZPHArticleListCellView::thumbnailFit(const QSizeF& imageSize, const QRectF& box)
{
  ThumbnailFit fit;
  const qreal side = box.width();
  if (side < 1 || imageSize.isEmpty())
    return fit;
  const qreal w = imageSize.width();
  const qreal h = imageSize.height();
  if (w < 12 && h < 12) {
    fit.tooSmall = true;
    return fit;
  }
  fit.draw = true;
  const qreal ratio = qMax(w, h) / qMin(w, h);
  if (w >= side && h >= side && ratio <= qreal(1.437999963760376f)) {
    const qreal scale = side / qMin(w, h);
    const QSizeF scaled(w * scale, h * scale);
    fit.clip = box;
    fit.target = QRectF(QPointF(box.center().x() - scaled.width() / 2, box.center().y() - scaled.height() / 2), scaled)
                     .toAlignedRect();
    return fit;
  }
  const QSizeF clipSize = w < side && h < side ? imageSize : QSizeF(side, side);
  fit.clip = QRectF(box.center().x() - clipSize.width() / 2, box.center().y() - clipSize.height() / 2, clipSize.width(),
                    clipSize.height());
  fit.target = QRectF(box.center().x() - w / 2 + 0.5, box.center().y() - h / 2 + 0.5, w, h);
  return fit;
}

bool ZPHArticleListCellView::isThumbnailAddressUsable(const QString& url)
{
  return !url.isEmpty() && !cb_isIgnorableImgURLString(url) && !tooSmallThumbnails().contains(url);
}

void ZPHArticleListCellView::noteThumbnailTooSmall(const QString& url) { tooSmallThumbnails().insert(url); }

QString ZPHArticleListCellView::dateLineText(const QString& date, const QString& feedName, bool showFeedName)
{
  if (showFeedName && !feedName.isEmpty())
    return QStringLiteral("%1, %2").arg(feedName, date);
  return date;
}

QString ZPHArticleListCellView::singleLineText(const QString& text, qsizetype limit)
{
  QString line = text.left(limit);
  for (QChar& c : line) {
    const char16_t u = c.unicode();
    if (u == u'\n' || u == u'\r' || u == u'\t' || u == 0x2028 || u == 0x2029 || u == 0x0b || u == 0x0c || u == 0x85)
      c = u' ';
  }
  return line;
}

QFont ZPHArticleListCellView::titleFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(12);
  font.setBold(true);
  return font;
}

QFont ZPHArticleListCellView::previewFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(12);
  return font;
}

QFont ZPHArticleListCellView::dateFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(11);
  return font;
}

QSize ZPHArticleListCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  if (index.data(ZPHArticleListModel::IsGroupRowRole).toBool())
    return QSize(option.rect.width(), groupRowHeight(false));
  return QSize(option.rect.width(),
               rowHeight(numberOfPreviewLines(), m_table != nullptr && m_table->showingMultipleFeeds()));
}

int ZPHArticleListCellView::slidingBookmarkCount() const { return m_bookmarkSlides->slidingCount(); }

void ZPHArticleListCellView::resetBookmarkStates() { m_bookmarkSlides->reset(); }

void ZPHArticleListCellView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
  const QRectF row = option.rect;
  const bool group = index.data(ZPHArticleListModel::IsGroupRowRole).toBool();
  ZPHClassicLayoutRowView::State state;
  state.selected = option.state & QStyle::State_Selected;
  state.groupRowStyle = group;
  state.active = m_table ? m_table->isActive() : true;
  state.listFocused = m_table ? m_table->isListFocused() : false;
  state.contextualHighlight = m_table != nullptr && m_table->contextualHighlightRow() == index.row();
  if (group) {
    state.hasArticle = false;
    ZPHStandardLayoutRowView().paintRow(painter, row, row, state);
    ZPHArticleGroupHeaderView::paint(painter, row, index.data(ZPHArticleListModel::GroupTitleRole).toString(),
                                     ZPHClassicLayoutRowView::backgroundColorForTableRow(state), state.active);
    return;
  }
  auto* article = static_cast<CBDataArticle*>(index.data(ZPHArticleListModel::ArticleRole).value<ZPHManagedObject*>());
  state.hasArticle = article != nullptr;
  state.read = index.data(ZPHArticleListModel::ReadRole).toBool();
  state.isLastArticleInGroup = index.data(ZPHArticleListModel::IsLastArticleInGroupRole).toBool();
  ZPHStandardLayoutRowView().paintRow(painter, row, row, state);
  if (article != nullptr) {
    painter->save();
    painter->setClipRect(row, Qt::IntersectClip);
    paintArticle(painter, row, article, state.selected, state.read,
                 index.data(ZPHArticleListModel::FlaggedRole).toBool(), index);
    painter->restore();
  }
}

void ZPHArticleListCellView::paintArticle(QPainter* painter, const QRectF& row, CBDataArticle* article, bool selected,
                                          bool read, bool flagged, const QModelIndex& index) const
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool focused = m_table ? m_table->isListFocused() : false;
  const bool showFeedName = m_table ? m_table->showingMultipleFeeds() : false;
  const int lines = numberOfPreviewLines();
  const QRectF bounds(0, 0, row.width(), row.height());

  // Colours.
  QColor text;
  QColor date;
  QColor shadow;
  if (selected) {
    text = focused ? theme->articleListSelectedItemKeyTextColor() : theme->articleListSelectedItemTextColor();
    date = read ? (focused ? theme->articleListSelectedItemReadKeyTextColor()
                           : theme->articleListSelectedItemReadTextColor())
                : text;
    shadow = focused ? theme->splitArticleListSelectedItemKeyTextShadowColor()
                     : theme->splitArticleListSelectedItemTextShadowColor();
  } else {
    text = read ? theme->articleListItemReadKeyTextColor() : theme->articleListItemUnreadKeyTextColor();
    date = text;
    shadow = theme->splitArticleListTextShadowColor();
  }

  // Geometry.
  // No room is kept for a thumbnail that will not come (its download failed).
  QString thumbnailAddress = article->thumbnailURL();
  if (!isThumbnailAddressUsable(thumbnailAddress) ||
      CBThumbnailController::sharedController()->isThumbnailUnavailable(QUrl(thumbnailAddress)))
    thumbnailAddress.clear();
  const QRectF inner = innerBox(bounds);
  const QRectF thumbBox =
      thumbnailBox(inner, thumbnailBoxWidth(!thumbnailAddress.isEmpty(), bounds.width(), showsPictures(), lines));
  const QRectF box = textBox(inner, thumbBox);

  painter->translate(row.topLeft());

  // Title: one line.
  const QFontMetricsF titleMetrics(titleFont());
  const QString title = singleLineText(article->plainTextTitleForDisplay(), TitleLimit);
  const QRectF titleRect(box.left(), box.top() - titleMetrics.descent(), box.width() - 20,
                         titleMetrics.height() + titleMetrics.descent());
  painter->setFont(titleFont());
  drawTextWithShadow(painter, titleRect.translated(0, titleMetrics.descent()),
                     titleMetrics.elidedText(title, Qt::ElideRight, titleRect.width()), text, shadow);
  const qreal titleBottom = titleRect.bottom();

  // Preview: up to `lines` lines, the last one cut with an ellipsis.
  const QFontMetricsF previewMetrics(previewFont());
  const QString preview = singleLineText(article->plainTextPreview(), PreviewLimitPerLine * lines);
  const qreal previewTop =
      titleBottom + 1 + 11 - std::ceil(previewMetrics.ascent()) + std::ceil(titleMetrics.descent());
  qreal previewBottom = 0;
  if (!preview.trimmed().isEmpty()) {
    QTextLayout layout(preview, previewFont());
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(textOption);
    layout.beginLayout();
    qreal y = 0;
    QList<QTextLine> laidOut;
    for (int i = 0; i < lines; ++i) {
      QTextLine line = layout.createLine();
      if (!line.isValid())
        break;
      line.setLineWidth(box.width());
      line.setPosition(QPointF(0, y));
      y += line.height();
      laidOut.append(line);
    }
    layout.endLayout();
    painter->setFont(previewFont());
    for (qsizetype i = 0; i < laidOut.size(); ++i) {
      const QTextLine& line = laidOut.at(i);
      const QRectF lineRect(box.left(), previewTop + line.y(), box.width(), line.height());
      // The last line shown runs to the end of the text, cut at the end.
      const QString lineText =
          i + 1 == laidOut.size() ? preview.mid(line.textStart()) : preview.mid(line.textStart(), line.textLength());
      drawTextWithShadow(painter, lineRect,
                         i + 1 == laidOut.size()
                             ? previewMetrics.elidedText(lineText.trimmed(), Qt::ElideRight, box.width())
                             : lineText,
                         text, shadow);
    }
    previewBottom = previewTop + y;
  }

  // Date line, with the favicon and the feed's name for several feeds.
  CBFeed* feed = showFeedName ? feedOfArticle(article) : nullptr;
  const QFontMetricsF dateMetrics(dateFont());
  const qreal dateHeight = dateTextHeight(showFeedName);
  const qreal dateTop =
      (previewBottom > 0 ? previewBottom : titleBottom) + 9 - previewMetrics.descent() - dateMetrics.descent();
  const QString dateString = ZPHArticleListModel::relativeDateString(
      ZPHArticleListModel::displayDateForArticle(article),
      qobject_cast<const ZPHArticleListModel*>(index.model())
          ? static_cast<const ZPHArticleListModel*>(index.model())->dateManager()
          : nullptr);
  const QString line =
      singleLineText(dateLineText(dateString, feed ? feed->nameForDisplay() : QString(), showFeedName), TitleLimit);
  QImage favicon;
  if (feed != nullptr && (!feed->homePageURL().isEmpty() || !feed->faviconURL().isEmpty()))
    favicon = FRNHCGUtils::imageRefForFeedHomePageURL(feed->homePageURL(), feed->faviconURL(), false);
  QRectF dateRect(box.left(), dateTop, box.width(), dateHeight + dateMetrics.descent());
  if (!favicon.isNull() && showFeedName) {
    const QRectF iconRect(11, dateTop + (dateHeight - 16) / 2, 16, 16);
    painter->save();
    painter->setOpacity(read ? 0.5 : 1.0);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(iconRect, favicon);
    painter->restore();
    dateRect = QRectF(iconRect.right() + 5, dateTop, box.width() - 21, dateRect.height());
  }
  painter->setFont(dateFont());
  drawTextWithShadow(painter,
                     QRectF(dateRect.left(), dateRect.top() + (dateHeight - dateMetrics.height()) / 2, dateRect.width(),
                            dateMetrics.height()),
                     dateMetrics.elidedText(line, Qt::ElideRight, dateRect.width()), date, shadow);

  // Thumbnail.
  if (thumbBox.width() > 0) {
    const QImage image = CBThumbnailController::sharedController()->thumbnailForURL(QUrl(thumbnailAddress));
    if (!image.isNull()) {
      const ThumbnailFit fit = thumbnailFit(QSizeF(image.size()) / image.devicePixelRatio(), thumbBox);
      if (fit.tooSmall) {
        noteThumbnailTooSmall(thumbnailAddress);
        if (m_table)
          m_table->viewport()->update();
      } else if (fit.draw) {
        painter->save();
        painter->setClipRect(fit.clip, Qt::IntersectClip);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->setOpacity(selected ? (read ? theme->splitThumbnailOpacitySelectedRead()
                                             : theme->splitThumbnailOpacitySelectedUnread())
                                     : (read ? theme->splitThumbnailOpacityUnselectedRead()
                                             : theme->splitThumbnailOpacityUnselectedUnread()));
        painter->drawImage(fit.target, image);
        painter->restore();
        const QRectF outline = thumbBox.adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(theme->splitThumbnailInnerShadowColor(), 1));
        painter->drawRect(outline.adjusted(1, 1, -1, -1));
        painter->setPen(
            QPen(selected ? theme->splitThumbnailSelectedOutlineColor() : theme->splitThumbnailOutlineColor(), 1));
        painter->drawRect(outline);
        painter->restore();
      }
    }
  }

  painter->translate(-row.topLeft());
  paintBookmark(painter, row, article->objectID(), flagged);
}

void ZPHArticleListCellView::paintBookmark(QPainter* painter, const QRectF& row, const ZPHManagedObjectID& objectID,
                                           bool flagged) const
{
  // A marker slides only for a row whose flag changed since it was last
  // painted.
  const qreal progress = m_bookmarkSlides->progressForRow(objectID, flagged);  // 1: shown
  if (progress <= 0)
    return;
  const QRectF frame = bookmarkFrame(row);
  const QRectF shown = ZPHArticleListBookmarkView::imageViewFrameForBookmarkShown(true, frame, 0);
  const QRectF hidden =
      ZPHArticleListBookmarkView::imageViewFrameForBookmarkShown(false, QRectF(QPointF(), frame.size()), 0)
          .translated(frame.topLeft());
  const QRectF at(shown.left(), hidden.top() + (shown.top() - hidden.top()) * progress, shown.width(), shown.height());
  painter->save();
  painter->setClipRect(frame, Qt::IntersectClip);
  painter->drawImage(at, ZPHNamedImage(ZPHArticleListBookmarkView::defaultBookmarkImageName()));
  painter->restore();
}
