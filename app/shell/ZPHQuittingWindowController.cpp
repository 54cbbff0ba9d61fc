#include "shell/ZPHQuittingWindowController.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QVBoxLayout>

ZPHQuittingWindowController::ZPHQuittingWindowController(QObject* parent) : QObject(parent) {}

ZPHQuittingWindowController::~ZPHQuittingWindowController() { delete m_window.data(); }

QDialog* ZPHQuittingWindowController::window()
{
  if (m_window)
    return m_window;
  m_window = new QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  m_window->setWindowTitle(QStringLiteral("Zephlin"));
  auto* layout = new QVBoxLayout(m_window);
  auto* label = new QLabel(QStringLiteral("Zephlin is finishing its work before it quits…"), m_window);
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  m_progressIndicator = new QProgressBar(m_window);
  m_progressIndicator->setRange(0, 0);  // busy, animated
  m_progressIndicator->setTextVisible(false);
  layout->addWidget(m_progressIndicator);
  return m_window;
}

void ZPHQuittingWindowController::showWindow(QWidget* parent)
{
  QDialog* dialog = window();
  if (parent != nullptr)
    dialog->setParent(parent, dialog->windowFlags());
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->open();
}

void ZPHQuittingWindowController::closeWindow()
{
  if (m_window)
    m_window->done(QDialog::Accepted);
}
