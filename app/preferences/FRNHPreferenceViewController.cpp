#include "preferences/FRNHPreferenceViewController.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QWidget>

FRNHPreferenceViewController::FRNHPreferenceViewController(QObject* parent) : QObject(parent) {}

FRNHPreferenceViewController::~FRNHPreferenceViewController()
{
  // A view no window took goes with its pane.
  if (m_view != nullptr && m_view->parent() == nullptr)
    delete m_view.data();
}

QString FRNHPreferenceViewController::identifier() const { return QString::fromLatin1(metaObject()->className()); }

QString FRNHPreferenceViewController::title() const { return identifier(); }

QIcon FRNHPreferenceViewController::image() const { return QGuiApplication::windowIcon(); }

QWidget* FRNHPreferenceViewController::view()
{
  if (m_view == nullptr) {
    m_view = loadView();
    if (m_view != nullptr) {
      m_view->ensurePolished();
      m_view->adjustSize();
      m_preferredSize = m_view->size();
    }
  }
  return m_view;
}

QSize FRNHPreferenceViewController::preferredSize()
{
  view();
  return m_preferredSize;
}
