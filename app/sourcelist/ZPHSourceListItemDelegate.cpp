#include "sourcelist/ZPHSourceListItemDelegate.h"

#include "sourcelist/ZPHSourceListTextField.h"

#include "common/ZPHErrorButton.h"
#include "kit/FRNHStretchableImage.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "kit/ZPHShadow.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "sourcelist/ZPHSourceListModel.h"
#include "sourcelist/ZPHSourceListView.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QHelpEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

namespace {

using Kind = ZPHSourceListModel::Kind;

// The cell ends this far from the list's right edge.
constexpr int CellRightInset = 8;
// The badge's own height, centred in the row.
constexpr int ChickletHeight = 17;

Kind kindOf(const QModelIndex& index) { return Kind(index.data(ZPHSourceListModel::KindRole).toInt()); }

QRect cellRect(const QStyleOptionViewItem& option) { return option.rect.adjusted(0, 0, -CellRightInset, 0); }

std::shared_ptr<FRNHStretchableImage> groupButtonImage(const QString& name)
{
  std::shared_ptr<FRNHStretchableImage> image = FRNHStretchableImage::imageNamed(name);
  if (image != nullptr) {
    image->setStretchableCapInsets({9, 9, 11, 9});
    image->setFlipped(true);
  }
  return image;
}

// Loaded once each and kept for the process.
const std::shared_ptr<FRNHStretchableImage>& groupButtonImage(bool pressed, bool windowIsActive)
{
  static const std::shared_ptr<FRNHStretchableImage> regular = groupButtonImage(QStringLiteral("sourcelistButton"));
  static const std::shared_ptr<FRNHStretchableImage> active =
      groupButtonImage(QStringLiteral("sourcelistButtonActive"));
  static const std::shared_ptr<FRNHStretchableImage> inactive =
      groupButtonImage(QStringLiteral("sourcelistButtonInactive"));
  if (!windowIsActive)
    return inactive;
  return pressed ? active : regular;
}

bool windowIsKey(const QStyleOptionViewItem& option)
{
  return option.widget != nullptr && option.widget->isActiveWindow();
}

}  // namespace

ZPHSourceListItemDelegate::ZPHSourceListItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QFont ZPHSourceListItemDelegate::titleFont()
{
  QFont font = QApplication::font();
  font.setPixelSize(13);
  return font;
}

QFont ZPHSourceListItemDelegate::headerFont()
{
  QFont font = QApplication::font();
  font.setPixelSize(11);
  font.setBold(true);
  return font;
}

QFont ZPHSourceListItemDelegate::headerButtonFont()
{
  QFont font = QApplication::font();
  font.setPixelSize(11);
  return font;
}

QColor ZPHSourceListItemDelegate::pictureTextColor() { return QColor(103, 114, 129); }

QRect ZPHSourceListItemDelegate::imageRect(const QRect& cell)
{
  return QRect(cell.left() + 2, cell.top() + (cell.height() - ImageSize) / 2, ImageSize, ImageSize);
}

QSize ZPHSourceListItemDelegate::errorButtonSize()
{
  static const QSize size = [] {
    const ZPHErrorButton button;
    return button.sizeHint();
  }();
  return size;
}

QSize ZPHSourceListItemDelegate::headerButtonSize(const QString& title)
{
  const int textWidth = QFontMetrics(headerButtonFont()).horizontalAdvance(title);
  return QSize(textWidth + 18, 20);
}

ZPHSourceListCellLayout ZPHSourceListItemDelegate::layoutForIndex(const QStyleOptionViewItem& option,
                                                                  const QModelIndex& index) const
{
  const QRect cell = cellRect(option);
  const Kind kind = kindOf(index);
  const qint64 count = index.data(ZPHSourceListModel::UnreadCountRole).toLongLong();
  const int badgeWidth = ZPHSourceListCellLayout::chickletWidth(count, ZPHSourceListCellLayout::chickletFont());
  const int textX = imageRect(cell).right() + 1 + ZPHSourceListCellLayout::Margin;
  switch (kind) {
    case Kind::Header: {
      const QString buttonTitle = index.data(ZPHSourceListModel::HeaderButtonTitleRole).toString();
      return ZPHSourceListCellLayout::groupCell(cell, buttonTitle.isEmpty() ? QSize() : headerButtonSize(buttonTitle));
    }
    case Kind::SmartFeed:
    case Kind::FavoritesGroup:
      return ZPHSourceListCellLayout::smartFeedCell(cell, textX, badgeWidth);
    default: {
      const bool hasError = !index.data(ZPHSourceListModel::ErrorRole).value<ZPHError>().isNull();
      return ZPHSourceListCellLayout::feedCell(cell, textX, badgeWidth, hasError ? errorButtonSize() : QSize());
    }
  }
}

void ZPHSourceListItemDelegate::drawImage(QPainter& painter, const QRectF& target, const QImage& image,
                                          const QColor& color)
{
  if (image.isNull())
    return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (image.format() == QImage::Format_Alpha8) {
    QImage tinted(image.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(color);
    QPainter mask(&tinted);
    mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    mask.drawImage(QRect(QPoint(0, 0), image.size()), image, image.rect());
    mask.end();
    tinted.setDevicePixelRatio(image.devicePixelRatio());
    painter.drawImage(target, tinted);
  } else {
    painter.drawImage(target, image);
  }
  painter.restore();
}

void ZPHSourceListItemDelegate::drawChicklet(QPainter& painter, const QRect& rect, qint64 count, bool selected,
                                             bool windowIsKey)
{
  if (count < 1 || rect.width() <= 0)
    return;
  ZPHTheme* theme = ZPHTheme::currentTheme();
  const int c = rect.width();
  const QRect bounds(rect.left(), rect.top() + (rect.height() - ChickletHeight) / 2, c, ChickletHeight);
  const QRectF badge(bounds.left(), bounds.top() + 1, c, bounds.height() - 1);
  QPainterPath path;
  path.addRoundedRect(badge, 3, 3);

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor fill =
      selected ? theme->sourcelistSelectedUnreadCountBackgroundColor() : theme->sourcelistUnreadCountBackgroundColor();
  if (fill.isValid() && fill.alpha() > 0) {
    if (!selected)
      ZPHShadow(0, theme->sourcelistUnreadCountShadowColor(), QPointF(0, 1)).drawForPath(painter, path);
    painter.fillPath(path, fill);
  }

  QColor textColor;
  if (!selected)
    textColor = theme->sourcelistUnreadCountTextColor();
  else if (windowIsKey)
    textColor = theme->sourcelistSelectedUnreadCountTextColor();
  else
    textColor = theme->sourcelistInactiveWindowSelectedUnreadCountTextColor();
  const QString text = QString::number(count);
  const QRectF textRect(bounds.left(), bounds.top(), c, bounds.height() - 1);
  const QFont font = ZPHSourceListCellLayout::chickletFont();
  painter.setFont(font);
  if (selected) {
    ZPHShadow(2, theme->sourcelistSelectedUnreadCountTextShadowColor(), QPointF(0, 1))
        .draw(painter, textRect, [&](QPainter& shadow) {
          shadow.setFont(font);
          shadow.drawText(textRect, Qt::AlignCenter, text);
        });
  }
  painter.setPen(textColor);
  painter.drawText(textRect, Qt::AlignCenter, text);
  painter.restore();
}

void ZPHSourceListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
  const Kind kind = kindOf(index);
  if (kind == Kind::None)
    return;
  const ZPHSourceListCellLayout layout = layoutForIndex(option, index);
  const auto* view = qobject_cast<const ZPHSourceListView*>(parent());
  const bool selected = (option.state & QStyle::State_Selected) && (view == nullptr || !view->selectionHidden());
  const bool key = windowIsKey(option);
  const bool drawsActive = option.widget == nullptr || zph_windowShouldDrawActive(option.widget);
  const QPalette& palette = option.palette;
  const QString title = index.data(Qt::DisplayRole).toString();

  painter->save();
  if (kind == Kind::Header) {
    ZPHTheme* theme = ZPHTheme::currentTheme();
    painter->setFont(headerFont());
    painter->setPen(theme->sourcelistGroupHeaderTextColor());
    const QString elided = painter->fontMetrics().elidedText(title, Qt::ElideRight, layout.textRect.width());
    painter->drawText(layout.textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    if (!layout.headerButtonRect.isEmpty()) {
      const bool pressed = m_pressedPart == Part::HeaderButton && m_pressedIndex == index;
      if (const auto& image = groupButtonImage(pressed, drawsActive))
        image->drawInRect(*painter, layout.headerButtonRect);
      painter->setFont(headerButtonFont());
      painter->setPen(theme->sourcelistGroupHeaderTextColor());
      painter->drawText(layout.headerButtonRect, Qt::AlignCenter | Qt::TextSingleLine,
                        index.data(ZPHSourceListModel::HeaderButtonTitleRole).toString());
    }
    painter->restore();
    return;
  }

  const QRect cell = cellRect(option);
  const QRect picture = imageRect(cell);
  const QColor selectedText = palette.color(QPalette::Active, QPalette::HighlightedText);
  const QColor pictureColor = selected ? selectedText : pictureTextColor();
  const QImage image =
      index.data(selected ? ZPHSourceListModel::SelectedImageRole : ZPHSourceListModel::ImageRole).value<QImage>();
  drawImage(*painter, picture, image, pictureColor);
  const QString pictureText = index.data(ZPHSourceListModel::ImageTextRole).toString();
  if (!pictureText.isEmpty()) {
    QFont small = QApplication::font();
    small.setPixelSize(9);
    small.setBold(true);
    painter->setFont(small);
    painter->setPen(pictureColor);
    painter->drawText(picture.adjusted(0, 4, 0, 0), Qt::AlignCenter | Qt::TextSingleLine, pictureText);
  }

  QColor textColor = palette.color(QPalette::Active, QPalette::Text);
  if (selected)
    textColor = selectedText;
  else if (index.data(ZPHSourceListModel::SuspendedRole).toBool())
    textColor = palette.color(QPalette::Disabled, QPalette::Text);
  painter->setFont(titleFont());
  painter->setPen(textColor);
  const QString elided = painter->fontMetrics().elidedText(title, Qt::ElideRight, layout.textRect.width());
  painter->drawText(layout.textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);

  if (!layout.errorButtonRect.isEmpty()) {
    const bool pressed = m_pressedPart == Part::ErrorButton && m_pressedIndex == index;
    const QImage errorImage = ZPHErrorButton::imageForState(
        pressed, drawsActive,
        selected ? ZPHErrorButton::BackgroundStyle::Dark : ZPHErrorButton::BackgroundStyle::Light);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRectF(layout.errorButtonRect), errorImage);
  }
  drawChicklet(*painter, layout.badgeRect, index.data(ZPHSourceListModel::UnreadCountRole).toLongLong(), selected, key);
  painter->restore();
}

QSize ZPHSourceListItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  return QSize(option.rect.width(), kindOf(index) == Kind::Header ? HeaderRowHeight : RowHeight);
}

ZPHSourceListItemDelegate::Part ZPHSourceListItemDelegate::partAt(const QStyleOptionViewItem& option,
                                                                  const QModelIndex& index,
                                                                  const QPoint& position) const
{
  const ZPHSourceListCellLayout layout = layoutForIndex(option, index);
  if (!layout.errorButtonRect.isEmpty() && layout.errorButtonRect.contains(position))
    return Part::ErrorButton;
  if (!layout.headerButtonRect.isEmpty() && layout.headerButtonRect.contains(position))
    return Part::HeaderButton;
  return Part::None;
}

bool ZPHSourceListItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                            const QStyleOptionViewItem& option, const QModelIndex& index)
{
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const Part part =
          mouse->button() == Qt::LeftButton ? partAt(option, index, mouse->position().toPoint()) : Part::None;
      if (part == Part::None)
        break;
      m_pressedIndex = index;
      m_pressedPart = part;
      if (auto* view = qobject_cast<QAbstractItemView*>(parent()))
        view->viewport()->update(option.rect);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      if (m_pressedPart == Part::None)
        break;
      auto* mouse = static_cast<QMouseEvent*>(event);
      const Part pressed = m_pressedPart;
      const bool sameRow = m_pressedIndex == index;
      m_pressedPart = Part::None;
      m_pressedIndex = QPersistentModelIndex();
      if (auto* view = qobject_cast<QAbstractItemView*>(parent()))
        view->viewport()->update();
      if (sameRow && partAt(option, index, mouse->position().toPoint()) == pressed) {
        if (pressed == Part::ErrorButton)
          Q_EMIT errorButtonClicked(index);
        else
          Q_EMIT headerButtonClicked(index);
      }
      return true;
    }
    default:
      break;
  }
  return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void ZPHSourceListItemDelegate::endPress()
{
  if (m_pressedPart == Part::None)
    return;
  m_pressedPart = Part::None;
  m_pressedIndex = QPersistentModelIndex();
  if (auto* view = qobject_cast<QAbstractItemView*>(parent()))
    view->viewport()->update();
}

bool ZPHSourceListItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                          const QStyleOptionViewItem& option, const QModelIndex& index)
{
  if (event != nullptr && event->type() == QEvent::ToolTip &&
      partAt(option, index, event->pos()) == Part::ErrorButton) {
    // An error's text may come from the server: shown as it is.
    const ZPHError error = index.data(ZPHSourceListModel::ErrorRole).value<ZPHError>();
    QToolTip::showText(event->globalPos(), ZPHPlainTextToolTip(error.localizedDescription()), view,
                       layoutForIndex(option, index).errorButtonRect);
    return true;
  }
  return QStyledItemDelegate::helpEvent(event, view, option, index);
}

QWidget* ZPHSourceListItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) const
{
  Q_UNUSED(option);
  Q_UNUSED(index);
  auto* field = new ZPHSourceListTextField(parent);
  field->setFont(titleFont());
  return field;
}

void ZPHSourceListItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
  // The view calls this again each time the row changes while the field is
  // open: what the user typed is kept.
  if (auto* field = qobject_cast<ZPHSourceListTextField*>(editor))
    field->updateStoredName(index.data(Qt::EditRole).toString());
}

void ZPHSourceListItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
  auto* field = qobject_cast<ZPHSourceListTextField*>(editor);
  if (field == nullptr)
    return;
  const QString name = field->editedName();
  if (!name.isEmpty() && name != field->restorationString())
    model->setData(index, name, Qt::EditRole);
}

void ZPHSourceListItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                     const QModelIndex& index) const
{
  const ZPHSourceListCellLayout layout = layoutForIndex(option, index);
  QRect rect = layout.textRect.isValid() ? layout.textRect : option.rect;
  rect.setRight(option.rect.right() - 4);
  editor->setGeometry(rect.adjusted(-2, 2, 0, -2));
}
