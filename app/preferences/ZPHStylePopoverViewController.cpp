#include "preferences/ZPHStylePopoverViewController.h"

#include "articleview/ZPHStyleSheetController.h"
#include "foundation/CBPrefs.h"
#include "kit/TMSliderControl.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHFontSelector.h"
#include "themes/ZPHFontSizeSegmentedControl.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemePalette.h"

#include <QtCore/QSignalBlocker>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr int PopoverWidth = 240;
constexpr int Margin = 10;

enum Segment { NarrowerColumn = 0, WiderColumn = 1, SmallerText = 2, LargerText = 3 };

// The popover's frame: Escape closes it.
class PopoverFrame : public QFrame {
public:
  explicit PopoverFrame(std::function<void()> close) : QFrame(nullptr, Qt::Popup), m_close(std::move(close)) {}

protected:
  void keyPressEvent(QKeyEvent* event) override
  {
    if (event->key() == Qt::Key_Escape) {
      m_close();
      return;
    }
    QFrame::keyPressEvent(event);
  }

private:
  std::function<void()> m_close;
};

}  // namespace

ZPHStylePopoverViewController::ZPHStylePopoverViewController(Window window,
                                                             ZPHStyleSheetController* styleSheetController,
                                                             std::function<bool(const QString&)> familyInstalled,
                                                             std::function<qreal()> scaleFactor, QObject* parent)
    : QObject(parent), m_window(std::move(window)), m_styleSheetController(styleSheetController)
{
  if (!m_window.validate)
    m_window.validate = [](const QString&) { return false; };
  if (!m_window.send)
    m_window.send = [](const QString&) { return false; };
  if (!m_window.showsBrowserTab)
    m_window.showsBrowserTab = [] { return false; };

  m_popover = std::make_unique<PopoverFrame>([this] { closePopOver(); });
  m_popover->setObjectName(QStringLiteral("ZPHStylePopover"));
  m_popover->setFrameShape(QFrame::StyledPanel);
  m_popover->setAutoFillBackground(true);
  updatePopoverColors();

  // The key view holds the controls: Return and Enter that none of them
  // takes close the popover.
  auto* frameLayout = new QVBoxLayout(m_popover.get());
  frameLayout->setContentsMargins(0, 0, 0, 0);
  m_keyView = new ZPHPopoverKeyEventView(m_popover.get());
  m_keyView->setObjectName(QStringLiteral("ZPHStylePopoverKeyView"));
  m_keyView->setDelegate(this);
  frameLayout->addWidget(m_keyView);
  auto* layout = new QVBoxLayout(m_keyView);
  layout->setContentsMargins(Margin, Margin, Margin, Margin);
  layout->setSpacing(Margin);
  auto* switchRow = new QHBoxLayout();
  auto* label = new QLabel(tr("Dark Theme"), m_keyView);
  label->setObjectName(QStringLiteral("darkThemeLabel"));
  m_sliderControl = new TMSliderControl(m_keyView);
  m_sliderControl->setObjectName(QStringLiteral("darkThemeSwitch"));
  m_sliderControl->setAccessibleName(tr("Dark Theme"));
  switchRow->addWidget(label);
  switchRow->addStretch();
  switchRow->addWidget(m_sliderControl);
  layout->addLayout(switchRow);

  m_fontSelector = new ZPHFontSelector(std::move(familyInstalled), std::move(scaleFactor), m_keyView);
  m_fontSelector->setFixedWidth(PopoverWidth - 2 * Margin);
  m_fontSelector->setFixedHeight(m_fontSelector->sizeToFit().height());
  layout->addWidget(m_fontSelector);

  // Only the user's flip sends the command; the switch set from the stored
  // theme sends nothing (no echo back to the window).
  connect(m_sliderControl, &QAbstractButton::clicked, this,
          [this] { m_window.send(QStringLiteral("toggleDarkMode:")); });
  connect(m_fontSelector, &ZPHFontSelector::didSelectFont, this,
          [this](const QString& family) { styleSheet()->setStandardFontFamily(family); });
  connect(m_fontSelector->fontSizeControl(), &ZPHCustomSegmentedControl::segmentClicked, this,
          &ZPHStylePopoverViewController::fontSizeClicked);

  // The style settings are made (and announce themselves) before the
  // popover listens.
  styleSheet();
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  m_observers.push_back(center.addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this,
      [this](const ZPHNotification&) {
        updateChosenFontFamily();
        updateFontSizeSegmentsEnabled();
        updateMarginSegmentsEnabled();
        updateForModeChange();
      },
      ZPHNotificationCenter::Delivery::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHThemeChangedNotification, QVariant(), this,
      [this](const ZPHNotification&) {
        updatePopoverColors();
        updateSliderFromStoredTheme();
      },
      ZPHNotificationCenter::Delivery::MainThread));

  updateSliderFromStoredTheme();
  updateChosenFontFamily();
  updateFontSizeSegmentsEnabled();
  updateMarginSegmentsEnabled();
  updateForModeChange();
  m_popover->adjustSize();
}

ZPHStylePopoverViewController::~ZPHStylePopoverViewController() { m_observers.clear(); }

ZPHStyleSheetController* ZPHStylePopoverViewController::styleSheet() const
{
  return m_styleSheetController != nullptr ? m_styleSheetController : ZPHStyleSheetController::sharedController();
}

void ZPHStylePopoverViewController::setMode(int mode)
{
  if (mode == m_mode)
    return;
  m_mode = mode;
  updateForModeChange();
  updateFontSizeSegmentsEnabled();
  updateMarginSegmentsEnabled();
}

void ZPHStylePopoverViewController::updateForModeChange()
{
  if (m_mode != 0 && m_mode != 1) {
    qWarning("%s: invalid mode value %d", Q_FUNC_INFO, m_mode);
    return;
  }
  m_fontSelector->setFontButtonsEnabled(m_mode == 1);
}

void ZPHStylePopoverViewController::updatePopoverColors()
{
  // Light greys of its own in the light theme, as its buttons have; the
  // dark theme's palette in the dark one.
  if (ZPHThemePalette::currentThemeIsDark()) {
    ZPHThemePalette::applyCurrentTheme(m_popover.get());
    return;
  }
  QPalette palette = QApplication::palette(m_popover.get());
  palette.setColor(QPalette::Window, QColor(236, 236, 236));
  palette.setColor(QPalette::WindowText, QColor(60, 60, 60));
  m_popover->setPalette(palette);
}

void ZPHStylePopoverViewController::updateSliderFromStoredTheme()
{
  const QSignalBlocker blocker(m_sliderControl);
  m_sliderControl->setState(ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHSubthemeStyleIndexKey) == 1);
  m_sliderControl->updateUI();
}

void ZPHStylePopoverViewController::updateChosenFontFamily()
{
  m_fontSelector->selectFontFamily(styleSheet()->standardFontFamily());
}

void ZPHStylePopoverViewController::updateFontSizeSegmentsEnabled()
{
  ZPHFontSizeSegmentedControl* control = m_fontSelector->fontSizeControl();
  if (m_window.showsBrowserTab()) {
    const bool smaller = m_window.validate(QStringLiteral("zph_makeTextSmaller:"));
    const bool larger = m_window.validate(QStringLiteral("zph_makeTextLarger:"));
    control->setEnabled(smaller, SmallerText);
    control->setEnabled(larger, LargerText);
    control->setEnabled(smaller || larger);
    return;
  }
  ZPHStyleSheetController* style = styleSheet();
  const int size = style->defaultFontSize();
  control->setEnabled(size > style->minimumFontSize(), SmallerText);
  control->setEnabled(size < ZPHStyleSheetController::maximumFontSize(), LargerText);
  control->setEnabled(m_mode != 0);
}

void ZPHStylePopoverViewController::updateMarginSegmentsEnabled()
{
  ZPHFontSizeSegmentedControl* control = m_fontSelector->fontSizeControl();
  const bool tab = m_window.showsBrowserTab();
  control->setEnabled(!tab && m_window.validate(QStringLiteral("makeMarginsNarrower:")), NarrowerColumn);
  control->setEnabled(!tab && m_window.validate(QStringLiteral("makeMarginsWider:")), WiderColumn);
}

void ZPHStylePopoverViewController::fontSizeClicked(int segment)
{
  switch (segment) {
    case NarrowerColumn:
      m_window.send(QStringLiteral("makeMarginsNarrower:"));
      break;
    case WiderColumn:
      m_window.send(QStringLiteral("makeMarginsWider:"));
      break;
    case SmallerText:
      if (m_window.validate(QStringLiteral("zph_makeTextSmaller:")))
        m_window.send(QStringLiteral("zph_makeTextSmaller:"));
      break;
    case LargerText:
      if (m_window.validate(QStringLiteral("zph_makeTextLarger:")))
        m_window.send(QStringLiteral("zph_makeTextLarger:"));
      break;
    default:
      return;
  }
  updateFontSizeSegmentsEnabled();
  updateMarginSegmentsEnabled();
}

void ZPHStylePopoverViewController::popoverWillShow()
{
  m_fontSelector->updateView();
  m_fontSelector->setFixedHeight(m_fontSelector->sizeToFit().height());
  m_popover->adjustSize();
  updateChosenFontFamily();
  updateMarginSegmentsEnabled();
  updateFontSizeSegmentsEnabled();
}

void ZPHStylePopoverViewController::togglePopoverRelativeTo(QWidget* anchor)
{
  if (m_popover->isVisible()) {
    closePopOver();
    return;
  }
  popoverWillShow();
  if (anchor != nullptr) {
    const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
    QPoint topLeft(below.x() - m_popover->width() / 2, below.y() + 2);
    if (QScreen* screen = anchor->screen()) {
      const QRect area = screen->availableGeometry();
      topLeft.setX(qBound(area.left(), topLeft.x(), std::max(area.left(), area.right() - m_popover->width())));
    }
    m_popover->move(topLeft);
  }
  m_popover->show();
  m_popover->raise();
  m_popover->activateWindow();
  m_keyView->setFocus(Qt::PopupFocusReason);
}

void ZPHStylePopoverViewController::closePopOver() { m_popover->hide(); }

void ZPHStylePopoverViewController::closePopOver(QObject* sender)
{
  Q_UNUSED(sender);
  closePopOver();
}
