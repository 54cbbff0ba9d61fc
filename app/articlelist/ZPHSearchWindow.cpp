#include "articlelist/ZPHSearchWindow.h"

#include "articlelist/ZPHSearchWindowContentView.h"

#include <QtWidgets/QListView>
#include <QtWidgets/QVBoxLayout>

ZPHSearchWindow::ZPHSearchWindow(QWidget* parent) : QWidget(parent)
{
  setObjectName(QStringLiteral("ZPHSearchWindow"));
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  auto* backdrop = new ZPHSearchWindowContentView(this);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(backdrop);
  auto* inner = new QVBoxLayout(backdrop);
  inner->setContentsMargins(0, Chrome / 2, 0, Chrome / 2);
  m_tableView = new QListView(backdrop);
  m_tableView->setFocusPolicy(Qt::NoFocus);
  m_tableView->setFrameShape(QFrame::NoFrame);
  m_tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_tableView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_tableView->setAttribute(Qt::WA_TranslucentBackground);
  m_tableView->viewport()->setAutoFillBackground(false);
  m_tableView->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
  inner->addWidget(m_tableView);
  hide();
}
