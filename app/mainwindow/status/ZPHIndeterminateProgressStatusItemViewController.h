#pragma once

// Qt kind: QObject that owns widgets.

#include "mainwindow/status/ZPHStatusItemViewController.h"

class ZPHCloudProgressIndicator;
class ZPHStatusViewTextField;

// A status item with an indeterminate progress indicator ("Refreshing
// Sites…"): the text and three dots that run while the item is on screen
// and are hidden when stopped.
class ZPHIndeterminateProgressStatusItemViewController : public ZPHStatusItemViewController {
  Q_OBJECT

public:
  using ZPHStatusItemViewController::ZPHStatusItemViewController;

  void configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item) override;
  void viewDidAppear() override;
  void viewWillDissapear() override;

  ZPHStatusViewTextField* textField();
  ZPHCloudProgressIndicator* progressIndicator();

protected:
  QWidget* loadView() override;

private:
  QPointer<ZPHStatusViewTextField> m_textField;
  QPointer<ZPHCloudProgressIndicator> m_progressIndicator;
};
