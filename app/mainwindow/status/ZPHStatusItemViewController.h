#pragma once

// Qt kind: QObject that owns widgets.

#include "feeds/refresh/ZPHStatusItem.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <memory>

class QWidget;

// Shows one status item in the status area. The status area makes one per
// item, by the item's type, the first time the item comes up, and tells it
// when its view slides in and out. The controller owns its view, which it
// makes on first use.
class ZPHStatusItemViewController : public QObject {
  Q_OBJECT

public:
  explicit ZPHStatusItemViewController(QObject* parent = nullptr);
  ~ZPHStatusItemViewController() override;

  // The controller for the item's type (determinate progress, indeterminate
  // progress or error); null for any other type.
  static std::unique_ptr<ZPHStatusItemViewController> controllerForStatusItemType(ZPHStatusItemType type);

  // Made by loadView() on the first call, without a parent.
  QWidget* view();
  bool isViewLoaded() const { return m_view != nullptr; }

  // Around a slide of the view; the base does nothing.
  virtual void viewWillAppear();
  virtual void viewDidAppear();
  virtual void viewWillDissapear();
  virtual void viewDidDissapear();

  // Shows the item; the base does nothing.
  virtual void configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item);

protected:
  // Makes the view; the base makes an empty widget.
  virtual QWidget* loadView();

private:
  QPointer<QWidget> m_view;
};
