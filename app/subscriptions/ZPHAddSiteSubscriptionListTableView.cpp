#include "subscriptions/ZPHAddSiteSubscriptionListTableView.h"

#include "feeds/images/CBFaviconController.h"
#include "subscriptions/ZPHAddSiteTableCellView.h"

#include <QtWidgets/QVBoxLayout>

ZPHAddSiteSubscriptionListTableView::ZPHAddSiteSubscriptionListTableView(QWidget* parent) : QScrollArea(parent)
{
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_content = new QWidget(this);
  m_content->setAutoFillBackground(true);
  QPalette colors = m_content->palette();
  colors.setColor(QPalette::Window, Qt::white);
  m_content->setPalette(colors);
  m_layout = new QVBoxLayout(m_content);
  m_layout->setContentsMargins(0, 0, 0, 0);
  m_layout->setSpacing(0);
  m_layout->addStretch(1);
  setWidget(m_content);
}

void ZPHAddSiteSubscriptionListTableView::setRows(const QList<ZPHAddSiteTableCellView*>& rows)
{
  for (ZPHAddSiteTableCellView* row : std::as_const(m_rows)) {
    if (!rows.contains(row))
      delete row;
  }
  m_rows = rows;
  for (int i = 0; i < m_rows.size(); ++i) {
    m_rows.at(i)->setParent(m_content);
    m_layout->insertWidget(i, m_rows.at(i));
    m_rows.at(i)->show();
  }
}

int ZPHAddSiteSubscriptionListTableView::zph_fittingHeightForMaxNumberOfRows(int count) const
{
  int height = 0;
  for (int i = 0; i < std::min<int>(count, int(m_rows.size())); ++i) height += m_rows.at(i)->sizeHint().height();
  return height;
}

void ZPHObserveFaviconChanges(QObject* owner, const std::function<void(const ZPHNotification&)>& changed,
                              std::vector<ZPHObserverToken>& observers)
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  for (const QString& name : {CBFaviconDownloadedNotification, CBFaviconURLFoundNotification,
                              CBFaviconControllerScaleFactorUpdatedNotification})
    observers.push_back(
        center.addObserver(name, QVariant(), owner, changed, ZPHNotificationCenter::Delivery::MainThread));
}
