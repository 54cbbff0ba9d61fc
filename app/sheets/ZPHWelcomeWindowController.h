#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariantList>

#include <functional>
#include <memory>

class CSAPI;
class QParallelAnimationGroup;
class QPropertyAnimation;
class QWidget;
class ZPHWelcomeViewController;
class ZPHWelcomeWindow;
class ZPHWelcomeWindowProgressOverlayView;

// The previous version's importer as the welcome window reaches it (the
// application gives it; without it no import is possible).
struct ZPHWelcomeImporter {
  using Completion =
      std::function<void(const QVariantList& importedFeeds, const QVariantList& duplicateFeeds, const ZPHError& error)>;
  // Whether the previous version's subscriptions are there to import.
  std::function<bool()> importIsCurrentlyPossible;
  // Imports them; the completion runs once, on the main thread.
  std::function<void(Completion completion)> import;
};

// The welcome window: a first run (type 0) starts on the intro when the
// previous version's sites can be imported, else on the stay-informed step;
// the import command (type 1) on the import; the mailing-list reminder
// (type 2) on the stay-informed step ("Zephlin 3 Import" and "Welcome to
// Zephlin" as titles). A first step of stay-informed reads "Keep up to date
// with Zephlin." and offers "No Thanks". Steps slide in from the right in
// 0.5 seconds while the background's two layers move left (40 and 120
// points). The window does not close while an import runs, and a close
// asked for during a slide happens when the slide ends. Main thread.
class ZPHWelcomeWindowController : public QObject {
  Q_OBJECT

public:
  static constexpr int SlideMs = 500;
  static constexpr int OverlayFadeMs = 200;
  static constexpr int FarParallaxStep = 40;
  static constexpr int NearParallaxStep = 120;

  struct Environment {
    ZPHWelcomeImporter importer;
    // The user's full name (the login's, from the user database).
    std::function<QString()> userFullName;
    // The mailing-list client (the build's service unless a test says).
    std::function<CSAPI*(QObject* parent)> makeMailingListClient;
    // Whether the build has a mailing list (unless a test says).
    std::function<bool()> hasMailingList;
  };

  ZPHWelcomeWindowController(unsigned welcomeWindowType, Environment environment, QObject* parent = nullptr);
  ~ZPHWelcomeWindowController() override;

  QWidget* window() const;
  ZPHWelcomeWindow* welcomeWindow() const { return m_window.get(); }
  unsigned welcomeWindowType() const { return m_welcomeWindowType; }
  // Another type goes to that type's first step.
  void switchToWelcomeWindowType(unsigned type);

  // Centred on the screen when it was hidden, then shown.
  void showWindow();
  // While the progress overlay fades out (an import has just ended), the
  // window closes once it has faded.
  void closeWindow();
  // Whether the window may close now (deferred during a slide; refused under
  // the progress overlay).
  bool windowShouldClose();
  void invalidate();

  unsigned currentState() const { return m_currentState; }
  ZPHWelcomeViewController* currentViewController() const { return m_currentViewController.get(); }
  bool currentlyAnimatingTransition() const { return m_currentlyAnimatingTransition; }
  // Goes to the step of the state (1 intro, 2 import, 3 stay informed);
  // answers the step shown (the current one for the current state; null
  // for an unknown state).
  ZPHWelcomeViewController* transitionToState(unsigned state);
  // 2 when an import is possible, else 3.
  unsigned importState() const;
  unsigned initialState() const;

  bool isProgressOverlayShown() const;
  ZPHWelcomeWindowProgressOverlayView* progressOverlayView() const { return m_progressOverlayView; }
  void showProgressOverlayAnimated(bool animated);
  void hideProgressOverlayAnimated(bool animated);

  bool importIsCurrentlyPossible() const;
  void runImport(ZPHWelcomeImporter::Completion completion);
  QString userFullName() const;
  CSAPI* makeMailingListClient(QObject* parent) const;
  bool hasMailingList() const;

  // The name of the login from the user database ("Jane Doe" of
  // "Jane Doe,Room 4,…"); empty when there is none.
  static QString passwdFullName();

Q_SIGNALS:
  void windowWillClose();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void goToInitialState();
  std::unique_ptr<ZPHWelcomeViewController> makeStep(unsigned state);

  Environment m_environment;
  std::unique_ptr<ZPHWelcomeWindow> m_window;
  unsigned m_welcomeWindowType = 0;
  unsigned m_currentState = 0;
  std::unique_ptr<ZPHWelcomeViewController> m_currentViewController;
  std::unique_ptr<ZPHWelcomeViewController> m_leavingViewController;
  ZPHWelcomeWindowProgressOverlayView* m_progressOverlayView = nullptr;
  QPointer<QParallelAnimationGroup> m_slide;
  QPointer<QPropertyAnimation> m_overlayFade;
  bool m_shouldCloseWindowAfterOverlayFade = false;
  bool m_currentlyAnimatingTransition = false;
  bool m_shouldCloseWindowAfterCompletingAnimatedTransition = false;
  int m_slides = 0;
};
