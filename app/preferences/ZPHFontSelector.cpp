#include "preferences/ZPHFontSelector.h"

#include "preferences/ZPHFontSelectorButton.h"
#include "themes/ZPHFontSizeSegmentedControl.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemePalette.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPixmap>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>

#include <cmath>

const QString ZPHFontSelector::HelveticaFamily = QStringLiteral("Helvetica");
const QString ZPHFontSelector::HelveticaNeueFamily = QStringLiteral("Helvetica Neue");

namespace {

constexpr int ControlHeight = ZPHFontSelectorButton::ButtonHeight;

// The size control's pictures, drawn as line art: a column getting narrower
// or wider, and a small or a large "A".
QIcon segmentImage(int segment, const QColor& ink)
{
  QPixmap pixmap(QSize(36, 36));
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  if (segment < 2) {
    // Two bars and arrows between them: pointing in (narrower) or out.
    painter.drawLine(QPointF(3, 3), QPointF(3, 15));
    painter.drawLine(QPointF(15, 3), QPointF(15, 15));
    const bool wider = segment == 1;
    const qreal tipLeft = wider ? 5 : 8;
    const qreal tipRight = wider ? 13 : 10;
    painter.drawLine(QPointF(5, 9), QPointF(13, 9));
    const qreal back = wider ? 2.5 : -2.5;
    painter.drawLine(QPointF(tipLeft, 9), QPointF(tipLeft + back, 6.5));
    painter.drawLine(QPointF(tipLeft, 9), QPointF(tipLeft + back, 11.5));
    painter.drawLine(QPointF(tipRight, 9), QPointF(tipRight - back, 6.5));
    painter.drawLine(QPointF(tipRight, 9), QPointF(tipRight - back, 11.5));
  } else {
    QFont font;
    font.setPixelSize(segment == 2 ? 10 : 15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(0, 0, 18, 18), Qt::AlignCenter, QStringLiteral("A"));
  }
  painter.end();
  return QIcon(pixmap);
}

// The pictures' colour: dark grey, or the dark theme's text.
QColor segmentInk()
{
  if (!ZPHThemePalette::currentThemeIsDark())
    return QColor(80, 80, 80);
  return ZPHThemePalette::paletteForTheme(ZPHTheme::currentTheme(), QApplication::palette())
      .color(QPalette::ButtonText);
}

}  // namespace

QList<ZPHFontSelector::FontRow> ZPHFontSelector::fontRows()
{
  return {{QStringLiteral("Avenir"), 13, 2},
          {QStringLiteral("Bitter"), 13, 0},
          {QStringLiteral("Georgia"), 14, 1},
          {QStringLiteral("Gill Sans"), 14, 1},
          {HelveticaFamily, 13, 0},
          {QStringLiteral("Palatino"), 14, 1},
          {QStringLiteral("Times New Roman"), 14, -1},
          // The free families of Linux desktops, for the machines that have
          // none of the above.
          {QStringLiteral("DejaVu Serif"), 13, 0},
          {QStringLiteral("DejaVu Sans"), 13, 0},
          {QStringLiteral("Liberation Serif"), 14, 0},
          {QStringLiteral("Liberation Sans"), 13, 0},
          {QStringLiteral("Noto Serif"), 13, 0},
          {QStringLiteral("Noto Sans"), 13, 0}};
}

ZPHFontSelector::ZPHFontSelector(FamilyInstalled familyInstalled, ScaleFactor scaleFactor, QWidget* parent)
    : ZPHThemeUpdatingView<QWidget>(parent),
      m_familyInstalled(std::move(familyInstalled)),
      m_scaleFactor(std::move(scaleFactor))
{
  setObjectName(QStringLiteral("ZPHFontSelector"));
  if (!m_familyInstalled)
    m_familyInstalled = [](const QString& family) { return QFontDatabase::families().contains(family); };
  if (!m_scaleFactor)
    m_scaleFactor = [this] {
      return window()->windowHandle() != nullptr ? window()->windowHandle()->devicePixelRatio() : 1.0;
    };

  for (const FontRow& row : fontRows()) {
    const bool helvetica = row.family == HelveticaFamily;
    if (helvetica ? !(m_familyInstalled(HelveticaFamily) && m_familyInstalled(HelveticaNeueFamily))
                  : !m_familyInstalled(row.family))
      continue;
    auto* button = new ZPHFontSelectorButton(this);
    button->setObjectName(QStringLiteral("fontButton ") + row.family);
    button->setFont(row.family, row.pointSize);
    button->setManualVerticalAlignmentTweak(row.verticalTweak);
    connect(button, &QAbstractButton::clicked, this, [this, button] { fontButtonClicked(button); });
    m_buttons.append(button);
    if (helvetica)
      m_helveticaButton = button;
  }
  for (int i = 0; i < m_buttons.size(); ++i) m_buttons[i]->setStyleType(i == 0 ? 0 : 1);

  m_fontSizeControl = new ZPHFontSizeSegmentedControl(this);
  m_fontSizeControl->setObjectName(QStringLiteral("fontSizeControl"));
  m_fontSizeControl->setSegmentCount(4);
  const char* toolTips[] = {QT_TR_NOOP("Make Margins Wider"), QT_TR_NOOP("Make Margins Narrower"),
                            QT_TR_NOOP("Make Text Smaller"), QT_TR_NOOP("Make Text Larger")};
  for (int segment = 0; segment < 4; ++segment) {
    m_fontSizeControl->setImage(segmentImage(segment, segmentInk()), segment);
    m_fontSizeControl->setToolTip(tr(toolTips[segment]), segment);
  }
  m_fontSizeControl->setHardDividers({1});
  updateHelveticaButton();
  resize(240, sizeToFit().height());
  layOut();
}

ZPHFontSelector::~ZPHFontSelector() = default;

QSize ZPHFontSelector::sizeToFit() const
{
  const int buttons = m_buttons.isEmpty() ? 0 : int(m_buttons.size()) * ZPHFontSelectorButton::ButtonHeight;
  return QSize(width(), buttons + ControlHeight);
}

QSize ZPHFontSelector::sizeHint() const { return QSize(240, sizeToFit().height()); }

void ZPHFontSelector::resizeEvent(QResizeEvent* event)
{
  ZPHThemeUpdatingView<QWidget>::resizeEvent(event);
  layOut();
}

void ZPHFontSelector::layOut()
{
  const int width = this->width();
  for (int i = 0; i < m_buttons.size(); ++i)
    m_buttons[i]->setGeometry(0, i == 0 ? 1 : i * ZPHFontSelectorButton::ButtonHeight, width,
                              ZPHFontSelectorButton::ButtonHeight);
  m_fontSizeControl->setGeometry(0, int(m_buttons.size()) * ZPHFontSelectorButton::ButtonHeight, width, ControlHeight);
  const qreal segment = std::round(width / 4.0);
  for (int i = 0; i < 3; ++i) m_fontSizeControl->setWidth(segment, i);
  m_fontSizeControl->setWidth(segment + 0.5, 3);
}

void ZPHFontSelector::updateHelveticaButton()
{
  if (m_helveticaButton == nullptr)
    return;
  const qreal scale = m_scaleFactor();
  bool changed = false;
  if (scale == 2.0 && m_helveticaButton->fontName() != HelveticaNeueFamily) {
    m_helveticaButton->setFont(HelveticaNeueFamily, 13);
    m_helveticaButton->setManualVerticalAlignmentTweak(1);
    changed = true;
  } else if (scale == 1.0 && m_helveticaButton->fontName() != HelveticaFamily) {
    m_helveticaButton->setFont(HelveticaFamily, 13);
    m_helveticaButton->setManualVerticalAlignmentTweak(0);
    changed = true;
  }
  // The style settings announce the family that goes with the new face,
  // and the popover then checks it again.
  if (changed && m_selectedFont == m_helveticaButton)
    deselectAllFonts();
}

void ZPHFontSelector::updateView() { updateHelveticaButton(); }

void ZPHFontSelector::deselectAllFonts()
{
  if (m_selectedFont != nullptr)
    m_selectedFont->setChecked(false);
  m_selectedFont = nullptr;
}

void ZPHFontSelector::selectFontFamily(const QString& family)
{
  deselectAllFonts();
  updateHelveticaButton();
  for (ZPHFontSelectorButton* button : std::as_const(m_buttons))
    if (button->fontName() == family)
      m_selectedFont = button;
  for (ZPHFontSelectorButton* button : std::as_const(m_buttons)) button->setChecked(button == m_selectedFont);
}

void ZPHFontSelector::fontButtonClicked(ZPHFontSelectorButton* button)
{
  if (m_selectedFont != nullptr && m_selectedFont != button)
    m_selectedFont->setChecked(false);
  m_selectedFont = button;
  button->setChecked(true);
  Q_EMIT didSelectFont(button->fontName());
}

void ZPHFontSelector::setFontButtonsEnabled(bool enabled)
{
  for (ZPHFontSelectorButton* button : std::as_const(m_buttons)) button->setEnabled(enabled);
}

void ZPHFontSelector::themeChanged(const ZPHNotification& notification)
{
  ZPHThemeUpdatingView<QWidget>::themeChanged(notification);
  for (ZPHFontSelectorButton* button : std::as_const(m_buttons)) button->update();
  for (int segment = 0; segment < m_fontSizeControl->segmentCount(); ++segment)
    m_fontSizeControl->setImage(segmentImage(segment, segmentInk()), segment);
}
