#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"

#include "kit/ZPHPopoverKeyEventView.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>
#include <memory>

class QFrame;
class QWidget;
class TMSliderControl;
class ZPHFontSelector;
class ZPHStyleSheetController;

// The style popover under the main window's Style toolbar item: the dark
// theme switch, the font buttons and the four-segment control of the
// column width and the text size (ZPHFontSelector). It keeps the controls
// in step with the article style settings, the theme and what the main
// window can adjust now, and turns clicks into the window's commands.
//
// The popover is a frame with Qt::Popup whose content is a key view
// (ZPHPopoverKeyEventView): Escape, Return and Enter close it. The toolbar
// controller holds it,
// sets the mode before each showing and gives it the window's commands
// (validate and send by selector, through the responder chain). A flip of
// the switch by the user sends "toggleDarkMode:"; setting the switch from
// the stored theme sends nothing. Main thread.
class ZPHStylePopoverViewController : public QObject, public ZPHPopoverKeyEquivalentProtocol {
  Q_OBJECT

public:
  // What the popover asks of the window.
  struct Window {
    // Whether the command would run now / runs it; false when nobody
    // answers it.
    std::function<bool(const QString& selector)> validate;
    std::function<bool(const QString& selector)> send;
    // Whether the article pane shows a browser tab now.
    std::function<bool()> showsBrowserTab;
  };

  // `fontSelector`'s families and scale may be injected (see
  // ZPHFontSelector); the style sheet controller (the shared one when null)
  // must outlive the popover.
  explicit ZPHStylePopoverViewController(Window window, ZPHStyleSheetController* styleSheetController = nullptr,
                                         std::function<bool(const QString&)> familyInstalled = {},
                                         std::function<qreal()> scaleFactor = {}, QObject* parent = nullptr);
  ~ZPHStylePopoverViewController() override;

  // The popover (made at once, hidden).
  QFrame* popover() const { return m_popover.get(); }
  // The popover's content, which takes the keys while it is shown.
  ZPHPopoverKeyEventView* keyView() const { return m_keyView; }
  ZPHFontSelector* fontSelector() const { return m_fontSelector; }
  TMSliderControl* sliderControl() const { return m_sliderControl; }

  // 1: the window shows something adjustable (the font buttons work); 0:
  // not. Starts at 1.
  int mode() const { return m_mode; }
  void setMode(int mode);

  // Shows the popover under `anchor` (its bottom edge, centred); closes it
  // when it is shown.
  void togglePopoverRelativeTo(QWidget* anchor);
  void popoverWillShow();
  void closePopOver();
  // Return or Enter in the popover (its key view): closes it.
  void closePopOver(QObject* sender) override;

  // The size control's action, by segment.
  void fontSizeClicked(int segment);
  void updateFontSizeSegmentsEnabled();
  void updateMarginSegmentsEnabled();
  void updateForModeChange();
  void updateChosenFontFamily();
  // The switch as the stored theme says ("ZPHSubthemeStyleIndexKey" 1: on),
  // without sending anything.
  void updateSliderFromStoredTheme();
  // The popover's colours for the theme.
  void updatePopoverColors();

private:
  ZPHStyleSheetController* styleSheet() const;

  Window m_window;
  ZPHStyleSheetController* m_styleSheetController;
  std::unique_ptr<QFrame> m_popover;
  ZPHPopoverKeyEventView* m_keyView = nullptr;
  ZPHFontSelector* m_fontSelector = nullptr;
  TMSliderControl* m_sliderControl = nullptr;
  int m_mode = 1;
  std::vector<ZPHObserverToken> m_observers;
};
