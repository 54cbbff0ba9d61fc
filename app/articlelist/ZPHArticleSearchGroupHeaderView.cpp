#include "articlelist/ZPHArticleSearchGroupHeaderView.h"

#include "articlelist/ZPHArticleGroupHeaderView.h"
#include "articlelist/ZPHClassicLayoutRowView.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchScopePopUpButtonCell.h"
#include "kit/ZPHWindowShouldDrawActive.h"

#include <QtGui/QPainter>

#include <cmath>

ZPHArticleSearchGroupHeaderView::ZPHArticleSearchGroupHeaderView(QWidget* parent) : QWidget(parent)
{
  m_searchTypePopUpButton = new ZPHSearchScopePopUpButtonCell(this);
  connect(m_searchTypePopUpButton, qOverload<int>(&QComboBox::activated), this,
          &ZPHArticleSearchGroupHeaderView::searchTypeChanged);
  menuNeedsUpdate();
}

ZPHArticleSearchGroupHeaderView::~ZPHArticleSearchGroupHeaderView() = default;

void ZPHArticleSearchGroupHeaderView::setTitle(const QString& title)
{
  m_title = title;
  placeButton();
  update();
}

void ZPHArticleSearchGroupHeaderView::setSearchOperation(std::shared_ptr<ZPHSearchOperation> operation)
{
  if (operation == m_searchOperation)
    return;
  m_searchOperation = std::move(operation);
  menuNeedsUpdate();
}

void ZPHArticleSearchGroupHeaderView::setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds)
{
  if (feeds == m_selectedFeeds)
    return;
  m_selectedFeeds = feeds;
  menuNeedsUpdate();
}

void ZPHArticleSearchGroupHeaderView::menuNeedsUpdate()
{
  m_rebuilding = true;
  m_searchTypePopUpButton->clear();
  const auto add = [this](const char* title, int tag) { m_searchTypePopUpButton->addItem(tr(title), tag); };
  add("All Articles", 0);
  add("All Titles", 2);
  add("Written By", 1);
  if (!m_selectedFeeds.isEmpty()) {
    m_searchTypePopUpButton->insertSeparator(m_searchTypePopUpButton->count());
    add("Selected Articles", 3);
    add("Selected Titles", 4);
    add("Selected Written By", 5);
  }
  const int type = m_searchOperation ? m_searchOperation->type() : 0;
  m_searchTypePopUpButton->setCurrentIndex(qMax(0, m_searchTypePopUpButton->findData(type)));
  m_rebuilding = false;
  placeButton();
}

QList<int> ZPHArticleSearchGroupHeaderView::menuTags() const
{
  QList<int> tags;
  for (int i = 0; i < m_searchTypePopUpButton->count(); ++i) {
    const QVariant tag = m_searchTypePopUpButton->itemData(i);
    tags.append(tag.isValid() ? tag.toInt() : -1);
  }
  return tags;
}

void ZPHArticleSearchGroupHeaderView::searchTypeChanged(int index)
{
  if (m_rebuilding)
    return;
  const QVariant tag = m_searchTypePopUpButton->itemData(index);
  if (!tag.isValid())
    return;
  const int current = m_searchOperation ? m_searchOperation->type() : -1;
  if (tag.toInt() != current)
    Q_EMIT searchTypeChosen(tag.toInt());
}

QRect ZPHArticleSearchGroupHeaderView::searchTypePopUpButtonFrame(const QRectF& titleFrame, const QSize& bounds,
                                                                  bool classic)
{
  const qreal x = titleFrame.right() + 6;
  const qreal width = std::min<qreal>(bounds.width() - x - 12, 300);
  const qreal y = classic ? std::round(bounds.height() - 20 - 3) : std::round((bounds.height() - 20) * 0.5);
  return QRectF(x, y, std::max<qreal>(width, 0), 20).toAlignedRect();
}

QRect ZPHArticleSearchGroupHeaderView::searchTypePopUpButtonFrame() const
{
  return searchTypePopUpButtonFrame(ZPHArticleGroupHeaderView::titleFrame(m_title, QRectF(rect())), size(),
                                    isClassic());
}

void ZPHArticleSearchGroupHeaderView::placeButton()
{
  m_searchTypePopUpButton->setGeometry(searchTypePopUpButtonFrame());
}

void ZPHArticleSearchGroupHeaderView::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  placeButton();
}

void ZPHArticleSearchGroupHeaderView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  ZPHClassicLayoutRowView::State state;
  state.groupRowStyle = true;
  state.active = zph_windowShouldDrawActive(this);
  ZPHArticleGroupHeaderView::paint(&painter, QRectF(rect()), m_title,
                                   ZPHClassicLayoutRowView::backgroundColorForTableRow(state), state.active);
}
