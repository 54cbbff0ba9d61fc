#include "mainwindow/status/ZPHStatusItemViewController.h"

#include "mainwindow/status/ZPHDeterminateProgressStatusItemViewController.h"
#include "mainwindow/status/ZPHErrorStatusItemViewController.h"
#include "mainwindow/status/ZPHIndeterminateProgressStatusItemViewController.h"

#include <QtWidgets/QWidget>

ZPHStatusItemViewController::ZPHStatusItemViewController(QObject* parent) : QObject(parent) {}

ZPHStatusItemViewController::~ZPHStatusItemViewController() { delete m_view.data(); }

std::unique_ptr<ZPHStatusItemViewController> ZPHStatusItemViewController::controllerForStatusItemType(
    ZPHStatusItemType type)
{
  switch (type) {
    case ZPHStatusItemTypeDeterminateProgress:
      return std::make_unique<ZPHDeterminateProgressStatusItemViewController>();
    case ZPHStatusItemTypeIndeterminateProgress:
      return std::make_unique<ZPHIndeterminateProgressStatusItemViewController>();
    case ZPHStatusItemTypeError:
      return std::make_unique<ZPHErrorStatusItemViewController>();
    case ZPHStatusItemTypeNotSet:
      break;
  }
  return nullptr;
}

QWidget* ZPHStatusItemViewController::view()
{
  if (m_view == nullptr)
    m_view = loadView();
  return m_view;
}

void ZPHStatusItemViewController::viewWillAppear() {}

void ZPHStatusItemViewController::viewDidAppear() {}

void ZPHStatusItemViewController::viewWillDissapear() {}

void ZPHStatusItemViewController::viewDidDissapear() {}

void ZPHStatusItemViewController::configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item) { Q_UNUSED(item); }

QWidget* ZPHStatusItemViewController::loadView() { return new QWidget; }
