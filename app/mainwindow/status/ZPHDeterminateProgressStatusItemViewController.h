#pragma once

// Qt kind: QObject that owns widgets.

#include "mainwindow/status/ZPHStatusItemViewController.h"

#include <QtCore/QMetaObject>

class QProgressBar;
class ZPHDeterminateProgressStatusItem;
class ZPHStatusViewTextField;

// A status item with a progress bar ("Importing OPML…"): the text, and a
// bar that shows the item's progress value (0 to 1) and follows it; the bar
// is shortened (to a stub at most) where the text would be cut.
class ZPHDeterminateProgressStatusItemViewController : public ZPHStatusItemViewController {
  Q_OBJECT

public:
  // The bar's range; a progress value of 1 fills it.
  static constexpr int ProgressBarMaximum = 1000;
  // The bar's width, shortened down to a stub so the text shows whole.
  static constexpr int BarWidth = 40;
  static constexpr int MinimumBarWidth = 12;

  using ZPHStatusItemViewController::ZPHStatusItemViewController;
  ~ZPHDeterminateProgressStatusItemViewController() override;

  // Takes a determinate-progress item (any other is ignored); the same item
  // again changes nothing.
  void configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item) override;

  std::shared_ptr<ZPHDeterminateProgressStatusItem> observedStatusItem() const { return m_observedStatusItem; }
  ZPHStatusViewTextField* textField();
  QProgressBar* progressIndicator();

protected:
  QWidget* loadView() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void showProgressValue(double value);
  void fitProgressIndicator();

  std::shared_ptr<ZPHDeterminateProgressStatusItem> m_observedStatusItem;
  QMetaObject::Connection m_observation;
  QPointer<ZPHStatusViewTextField> m_textField;
  QPointer<QProgressBar> m_progressIndicator;
};
