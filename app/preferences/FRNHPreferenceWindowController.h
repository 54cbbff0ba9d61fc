#pragma once

// Qt kind: QObject that owns widgets.

#include "preferences/FRNHPreferenceViewController.h"
#include "preferences/FRNHPreferenceWindowImageOverlayView.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>

#include <functional>
#include <memory>

class QActionGroup;
class QMainWindow;
class QToolBar;
class QVariantAnimation;

// The user default that remembers the pane last chosen from the toolbar (its
// identifier).
extern const QString FRNHPreferencesWindowSelectedIdentifier;  // "FRNHPreferencesWindowSelectedIdentifier"

// A preferences window whose panes are chosen from its toolbar, one item
// per pane. The window takes each pane's size, keeping its top-left corner
// where it is; while it is shown, a picture of the old pane fades out over
// the new one as the window resizes (2.5 seconds while Shift is held, so
// the change can be watched). The pane chosen last is remembered across
// launches; a remembered pane that no longer exists selects the first.
//
// Subclasses give the panes (preferenceViewControllers()), made once per
// window controller. Main thread.
class FRNHPreferenceWindowController : public QObject {
  Q_OBJECT

public:
  static constexpr int TransitionMs = 200;
  static constexpr int SlowTransitionMs = 2500;

  explicit FRNHPreferenceWindowController(QObject* parent = nullptr);
  ~FRNHPreferenceWindowController() override;

  // The window, built by the constructor, titled "Preferences".
  QMainWindow* window() const { return m_window.get(); }
  QToolBar* toolbar() const { return m_toolbar; }

  // The panes in toolbar order; none in the base.
  virtual QList<FRNHPreferenceViewController*> preferenceViewControllers() const { return {}; }
  QStringList identifiers() const;

  // While the window is hidden: rebuilds the toolbar, selects the
  // remembered pane and centres the window on the screen; then shows it.
  void showWindow();
  // The toolbar again, one item per pane, and the remembered pane selected
  // (stored again).
  void reloadViewControllers();

  // Makes that pane current and checks its item; an index past the panes
  // does nothing.
  virtual void selectItemAtIndex(int index);
  // The pane of that identifier, which is remembered; an identifier of no
  // pane does nothing.
  void selectItemWithIdentifier(const QString& identifier);

  FRNHPreferenceViewController* currentViewController() const { return m_currentViewController; }
  // Setting the current pane again does nothing.
  void setCurrentViewController(FRNHPreferenceViewController* controller);

  // The overlay while a change of panes runs; null otherwise.
  FRNHPreferenceWindowImageOverlayView* imageOverlayView() const { return m_imageOverlayView; }
  bool isTransitionRunning() const;
  // How long the last animated change of panes took (ms); 0 before any.
  int lastTransitionDuration() const { return m_lastTransitionDuration; }
  // The keys held as a change starts (the desktop's, unless a test says).
  void setKeyboardModifiersProvider(std::function<Qt::KeyboardModifiers()> provider);

Q_SIGNALS:
  // The window is closing.
  void windowWillClose();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void configureImageOverlayViewForTransition(FRNHPreferenceViewController* from, FRNHPreferenceViewController* to);
  void placeView(FRNHPreferenceViewController* controller);
  QSize windowSizeForContentSize(const QSize& contentSize) const;

  std::unique_ptr<QMainWindow> m_window;
  QToolBar* m_toolbar = nullptr;
  QActionGroup* m_itemGroup = nullptr;
  QPointer<FRNHPreferenceViewController> m_currentViewController;
  QPointer<FRNHPreferenceWindowImageOverlayView> m_imageOverlayView;
  QVariantAnimation* m_transition = nullptr;
  QMetaObject::Connection m_transitionStep;
  int m_lastTransitionDuration = 0;
  std::function<Qt::KeyboardModifiers()> m_keyboardModifiers;
  // The Escape pressed now closed an open drop-down.
  bool m_escapeClosesPopup = false;
};
