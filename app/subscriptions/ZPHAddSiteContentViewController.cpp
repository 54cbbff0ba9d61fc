#include "subscriptions/ZPHAddSiteContentViewController.h"

#include <QtWidgets/QWidget>

QSize ZPHAddSiteContentViewController::contentSize()
{
  QWidget* pane = view();
  return pane != nullptr ? pane->size() : QSize();
}
