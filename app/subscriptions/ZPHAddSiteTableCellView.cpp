#include "subscriptions/ZPHAddSiteTableCellView.h"

#include "kit/ZPHElidingLabel.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "subscribe/CBDefaultFeedEntry.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QLinearGradient>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

QString alreadyAdded() { return QCoreApplication::translate("ZPHAddSiteTableCellView", "Already Added"); }

constexpr int PopUpWidth = 150;

int heightForKind(ZPHAddSiteTableCellView::Kind kind)
{
  switch (kind) {
    case ZPHAddSiteTableCellView::Kind::Single:
      return 40;
    case ZPHAddSiteTableCellView::Kind::Multiple:
      return 30;
    case ZPHAddSiteTableCellView::Kind::Header:
      return 34;
    case ZPHAddSiteTableCellView::Kind::PopularSite:
      return 46;
    case ZPHAddSiteTableCellView::Kind::Category:
      return 26;
  }
  return 30;
}

}  // namespace

ZPHAddSiteCellAppearance ZPHAddSiteCellAppearanceForState(int state, bool hasCheckbox, bool hasFolder)
{
  ZPHAddSiteCellAppearance appearance;
  appearance.checkboxChecked = state == ZPHAddSiteCellStateChecked || state == ZPHAddSiteCellStateAlreadyAdded;
  appearance.checkboxEnabled = state != ZPHAddSiteCellStateAlreadyAdded;
  appearance.popUpEnabled = state != ZPHAddSiteCellStateAlreadyAdded && state != ZPHAddSiteCellStateNothingToAdd;
  if (state == ZPHAddSiteCellStateAlreadyAdded && !hasFolder) {
    appearance.popUpShowsAlreadyAdded = true;
    appearance.popUpVisible = true;
    return appearance;
  }
  if (state == ZPHAddSiteCellStateNothingToAdd && !hasFolder) {
    appearance.popUpVisible = false;
    return appearance;
  }
  appearance.popUpVisible =
      ZPHAddSiteCellPopUpVisible(hasCheckbox, appearance.checkboxChecked, appearance.checkboxEnabled);
  return appearance;
}

bool ZPHAddSiteCellPopUpVisible(bool hasCheckbox, bool checked, bool checkboxEnabled)
{
  return hasCheckbox ? checked && checkboxEnabled : true;
}

void ZPHAddSiteGradientBorderRowView::paint(QPainter& painter, const QRectF& bounds)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  painter.fillRect(bounds, theme->addSiteCategoryRowViewStrokeColor());
  const QRectF inner = bounds.adjusted(0, 1, 0, -1);
  QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
  gradient.setColorAt(0, theme->addSiteCategoryRowViewGradientTopColor());
  gradient.setColorAt(1, theme->addSiteCategoryRowViewGradientBottomColor());
  painter.fillRect(inner, gradient);
}

void ZPHAddSitesTableSiteRowView::paintBottomSeparator(QPainter& painter, const QRectF& bounds)
{
  painter.fillRect(QRectF(bounds.left(), bounds.bottom() - 1, bounds.width(), 1),
                   ZPHTheme::currentTheme()->addSiteTableViewGridColor());
}

ZPHAddSiteTableCellView::ZPHAddSiteTableCellView(Kind kind, QWidget* parent)
    : ZPHThemeUpdatingView(parent), m_kind(kind)
{
  setFixedHeight(heightForKind(kind));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 0, 10, 0);
  layout->setSpacing(8);

  if (kind != Kind::Header) {
    m_checkbox = new QCheckBox(this);
    m_checkbox->setTristate(kind == Kind::Category);
    connect(m_checkbox, &QCheckBox::clicked, this, [this] { checkboxAction(); });
    layout->addWidget(m_checkbox);
  }
  if (kind != Kind::Category) {
    m_favIconImageView = new QLabel(this);
    m_favIconImageView->setFixedSize(16, 16);
    layout->addWidget(m_favIconImageView);
  }

  m_nameTextField = new ZPHElidingLabel(this);
  m_nameTextField->setTextFormat(Qt::PlainText);
  QFont nameFont = m_nameTextField->font();
  nameFont.setPixelSize(kind == Kind::Category ? 11 : 13);
  if (kind == Kind::Header || kind == Kind::Category)
    nameFont.setBold(true);
  m_nameTextField->setFont(nameFont);
  if (kind == Kind::PopularSite) {
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->addStretch(1);
    texts->addWidget(m_nameTextField);
    m_descriptionTextField = new ZPHElidingLabel(this);
    m_descriptionTextField->setTextFormat(Qt::PlainText);
    QFont descriptionFont = m_descriptionTextField->font();
    descriptionFont.setPixelSize(11);
    m_descriptionTextField->setFont(descriptionFont);
    QPalette colors = m_descriptionTextField->palette();
    colors.setColor(QPalette::WindowText, QColor(110, 110, 110));
    m_descriptionTextField->setPalette(colors);
    texts->addWidget(m_descriptionTextField);
    texts->addStretch(1);
    layout->addLayout(texts, 1);
  } else {
    layout->addWidget(m_nameTextField, 1);
  }

  if (kind != Kind::Category) {
    m_popUp = new QComboBox(this);
    m_popUp->setMinimumWidth(PopUpWidth);
    m_popUp->setMaximumWidth(PopUpWidth);
    m_popUp->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_popUp, &QComboBox::activated, this, [this](int index) { folderChooserPopUpButtonAction(index); });
    layout->addWidget(m_popUp);
  }
  if (kind == Kind::Category) {
    QPalette colors = m_nameTextField->palette();
    colors.setColor(QPalette::WindowText, ZPHTheme::currentTheme()->addSiteTableViewCategoryTextColor());
    m_nameTextField->setPalette(colors);
  }
}

QSize ZPHAddSiteTableCellView::sizeHint() const { return {460, heightForKind(m_kind)}; }

bool ZPHAddSiteTableCellView::checkboxIsChecked() const
{
  return m_checkbox != nullptr && m_checkbox->checkState() == Qt::Checked;
}

void ZPHAddSiteTableCellView::setFolderMenu(const QList<ZPHFolderMenuItem>& menu)
{
  m_folderMenu = menu;
  if (m_popUp == nullptr)
    return;
  m_updatingControls = true;
  ZPHFillFolderPopUp(m_popUp, menu);
  m_popUpShowsAlreadyAdded = false;
  m_updatingControls = false;
  m_popUp->setToolTip(ZPHPlainTextToolTip(m_popUp->currentData(Qt::ToolTipRole).toString()));
}

void ZPHAddSiteTableCellView::setPopUpShowsAlreadyAdded(bool shows)
{
  if (m_popUp == nullptr || shows == m_popUpShowsAlreadyAdded)
    return;
  m_updatingControls = true;
  if (shows) {
    m_popUp->clear();
    m_popUp->addItem(alreadyAdded());
    m_popUp->setCurrentIndex(0);
    m_popUp->setToolTip(QString());
  } else {
    ZPHFillFolderPopUp(m_popUp, m_folderMenu);
  }
  m_popUpShowsAlreadyAdded = shows;
  m_updatingControls = false;
}

void ZPHAddSiteTableCellView::configureForTitle(const QString& title, const QImage& favicon, int state,
                                                const ZPHFolderTarget& folder)
{
  m_state = state;
  m_nameTextField->setText(title);
  m_nameTextField->setToolTip(ZPHPlainTextToolTip(title));
  if (m_favIconImageView != nullptr)
    m_favIconImageView->setPixmap(QPixmap::fromImage(favicon));
  Q_ASSERT_X(state != ZPHAddSiteCellStateAlreadyAdded || !folder.isValid(), Q_FUNC_INFO,
             "an already added row shows no folder");
  const ZPHAddSiteCellAppearance appearance =
      ZPHAddSiteCellAppearanceForState(state, m_checkbox != nullptr, folder.isValid());
  m_updatingControls = true;
  if (m_checkbox != nullptr) {
    m_checkbox->setEnabled(appearance.checkboxEnabled);
    m_checkbox->setCheckState(appearance.checkboxChecked ? Qt::Checked : Qt::Unchecked);
  }
  m_updatingControls = false;
  if (m_popUp != nullptr) {
    setPopUpShowsAlreadyAdded(appearance.popUpShowsAlreadyAdded);
    m_popUp->setEnabled(appearance.popUpEnabled);
    if (folder.isValid()) {
      const int index = ZPHIndexOfFolderTarget(m_popUp, folder);
      if (index >= 0) {
        m_updatingControls = true;
        m_popUp->setCurrentIndex(index);
        m_updatingControls = false;
        m_popUp->setToolTip(ZPHPlainTextToolTip(m_popUp->itemData(index, Qt::ToolTipRole).toString()));
      } else {
        qCWarning(zphSubscriptions) << "Can't find menu item to select for the folder or account of" << title;
      }
    }
    m_popUp->setVisible(appearance.popUpVisible);
  }
}

void ZPHAddSiteTableCellView::configureForFeedEntry(const CBDefaultFeedEntry& entry, const QImage& favicon, int state,
                                                    const ZPHFolderTarget& folder)
{
  configureForTitle(entry.name(), favicon, state, folder);
  if (m_descriptionTextField != nullptr) {
    m_descriptionTextField->setText(entry.description());
    m_descriptionTextField->setToolTip(ZPHPlainTextToolTip(entry.description()));
  }
}

void ZPHAddSiteTableCellView::configureForCategoryName(const QString& name, int state)
{
  m_state = state;
  m_nameTextField->setText(name.toUpper());
  QPalette colors = m_nameTextField->palette();
  colors.setColor(QPalette::WindowText, ZPHTheme::currentTheme()->addSiteTableViewCategoryTextColor());
  m_nameTextField->setPalette(colors);
  if (m_checkbox == nullptr)
    return;
  m_updatingControls = true;
  m_checkbox->setEnabled(state != ZPHAddSiteCellStateNothingToAdd);
  if (state == ZPHAddSiteCellStateHeaderOrMixed)
    m_checkbox->setCheckState(Qt::PartiallyChecked);
  else if (state == ZPHAddSiteCellStateChecked || state == ZPHAddSiteCellStateNothingToAdd)
    m_checkbox->setCheckState(Qt::Checked);
  else
    m_checkbox->setCheckState(Qt::Unchecked);
  m_updatingControls = false;
}

void ZPHAddSiteTableCellView::disableControls()
{
  for (QWidget* control : std::initializer_list<QWidget*>{m_checkbox, m_nameTextField, m_favIconImageView, m_popUp,
                                                          m_descriptionTextField}) {
    if (control != nullptr)
      control->setEnabled(false);
  }
}

void ZPHAddSiteTableCellView::toggleCheckbox()
{
  if (m_checkbox == nullptr || !m_checkbox->isEnabled())
    return;
  if (m_kind == Kind::Category) {
    // Unchecked and mixed go to checked; checked to unchecked.
    m_checkbox->setCheckState(m_checkbox->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  } else {
    m_checkbox->setChecked(!m_checkbox->isChecked());
  }
  checkboxAction();
}

void ZPHAddSiteTableCellView::checkboxAction()
{
  if (m_updatingControls || m_checkbox == nullptr)
    return;
  if (m_kind == Kind::Category && m_checkbox->checkState() == Qt::PartiallyChecked)
    m_checkbox->setCheckState(Qt::Checked);
  if (m_delegate != nullptr)
    m_delegate->addSiteTableCellViewDidChangeCheckedState(this, checkboxIsChecked());
  updatePopUpMenu();
}

void ZPHAddSiteTableCellView::updatePopUpMenu()
{
  if (m_popUp == nullptr || m_popUpShowsAlreadyAdded)
    return;
  m_popUp->setVisible(ZPHAddSiteCellPopUpVisible(m_checkbox != nullptr, checkboxIsChecked(),
                                                 m_checkbox != nullptr && m_checkbox->isEnabled()));
}

void ZPHAddSiteTableCellView::folderChooserPopUpButtonAction(int index)
{
  if (m_updatingControls)
    return;
  const ZPHFolderTarget target = ZPHFolderTargetAtIndex(m_popUp, index);
  if (!target.isValid())
    return;
  m_popUp->setToolTip(ZPHPlainTextToolTip(m_popUp->itemData(index, Qt::ToolTipRole).toString()));
  if (m_delegate != nullptr)
    m_delegate->addSiteTableCellViewDidChooseFolderTarget(this, target);
}

void ZPHAddSiteTableCellView::setShouldDrawBottomSeparator(bool draws)
{
  m_shouldDrawBottomSeparator = draws;
  update();
}

bool ZPHAddSiteTableCellView::allowsTracking() const
{
  if (m_checkbox == nullptr)
    return m_delegate != nullptr;
  return m_checkbox->isEnabled() && m_delegate != nullptr;
}

void ZPHAddSiteTableCellView::trackingAction()
{
  if (m_checkbox != nullptr)
    toggleCheckbox();
  else if (m_delegate != nullptr)
    m_delegate->addSiteTableCellViewDidClick(this);
}

void ZPHAddSiteTableCellView::mousePressEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton || !allowsTracking()) {
    ZPHThemeUpdatingView::mousePressEvent(event);
    return;
  }
  m_tracking = true;
  if (m_checkbox != nullptr)
    m_checkbox->setDown(true);
  event->accept();
}

void ZPHAddSiteTableCellView::mouseMoveEvent(QMouseEvent* event)
{
  if (m_tracking && m_checkbox != nullptr)
    m_checkbox->setDown(rect().contains(event->position().toPoint()));
  ZPHThemeUpdatingView::mouseMoveEvent(event);
}

void ZPHAddSiteTableCellView::mouseReleaseEvent(QMouseEvent* event)
{
  if (!m_tracking) {
    ZPHThemeUpdatingView::mouseReleaseEvent(event);
    return;
  }
  m_tracking = false;
  if (m_checkbox != nullptr)
    m_checkbox->setDown(false);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    trackingAction();
  event->accept();
}

void ZPHAddSiteTableCellView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  if (m_kind == Kind::Header || m_kind == Kind::Category) {
    ZPHAddSiteGradientBorderRowView::paint(painter, QRectF(rect()));
    return;
  }
  painter.fillRect(rect(), Qt::white);
  if (m_shouldDrawBottomSeparator)
    ZPHAddSitesTableSiteRowView::paintBottomSeparator(painter, QRectF(rect()));
}
