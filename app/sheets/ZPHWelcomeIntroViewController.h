#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHWelcomeViewController.h"

class QPushButton;

// The welcome window's first step on a first run with the previous
// version's sites on the computer: a greeting and "Next", which goes to the
// import.
class ZPHWelcomeIntroViewController : public ZPHWelcomeViewController {
  Q_OBJECT

public:
  explicit ZPHWelcomeIntroViewController(ZPHWelcomeWindowController* windowController);

  QPushButton* nextButton() const { return m_nextButton; }
  void next();

private:
  QPushButton* m_nextButton = nullptr;
};
