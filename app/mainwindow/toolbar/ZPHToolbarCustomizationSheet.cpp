#include "mainwindow/toolbar/ZPHToolbarCustomizationSheet.h"

#include "mainwindow/toolbar/ZPHMainWindowToolbarController.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr int IdentifierRole = Qt::UserRole + 1;

bool isRepeatable(const QString& identifier)
{
  return identifier == ZPHMainWindowToolbarController::FlexibleSpaceItemIdentifier ||
         identifier == ZPHMainWindowToolbarController::SpaceItemIdentifier ||
         identifier == ZPHMainWindowToolbarController::SeparatorItemIdentifier;
}

}  // namespace

ZPHToolbarCustomizationSheet::ZPHToolbarCustomizationSheet(QWidget* parent)
    : QDialog(parent), m_shown(new QListWidget(this)), m_allowed(new QListWidget(this)), m_mode(new QComboBox(this))
{
  setObjectName(QStringLiteral("ZPHToolbarCustomizationSheet"));
  setWindowTitle(tr("Customize Toolbar"));
  setWindowModality(Qt::WindowModal);
  m_shown->setObjectName(QStringLiteral("shownItems"));
  m_shown->setDragDropMode(QAbstractItemView::InternalMove);
  m_shown->setDefaultDropAction(Qt::MoveAction);
  m_allowed->setObjectName(QStringLiteral("allowedItems"));

  auto* layout = new QVBoxLayout(this);
  auto* lists = new QGridLayout();
  lists->addWidget(new QLabel(tr("Shown in the toolbar (drag to reorder):"), this), 0, 0);
  lists->addWidget(new QLabel(tr("Available items:"), this), 0, 2);
  lists->addWidget(m_shown, 1, 0);
  lists->addWidget(m_allowed, 1, 2);
  auto* buttons = new QVBoxLayout();
  auto* add = new QPushButton(tr("\u2190 Add"), this);
  auto* remove = new QPushButton(tr("Remove \u2192"), this);
  buttons->addStretch();
  buttons->addWidget(add);
  buttons->addWidget(remove);
  buttons->addStretch();
  lists->addLayout(buttons, 1, 1);
  layout->addLayout(lists);

  m_mode->setObjectName(QStringLiteral("displayMode"));
  using Toolbar = ZPHMainWindowToolbarController;
  for (const Toolbar::DisplayMode mode : {Toolbar::IconAndLabel, Toolbar::IconOnly, Toolbar::LabelOnly})
    m_mode->addItem(Toolbar::titleForDisplayMode(mode), int(mode));
  auto* show = new QHBoxLayout();
  auto* showLabel = new QLabel(tr("Show:"), this);
  showLabel->setBuddy(m_mode);
  show->addWidget(showLabel);
  show->addWidget(m_mode);
  show->addStretch();
  layout->addLayout(show);

  auto* box = new QDialogButtonBox(this);
  QPushButton* defaults = box->addButton(tr("Use Default Set"), QDialogButtonBox::ResetRole);
  QPushButton* done = box->addButton(tr("Done"), QDialogButtonBox::AcceptRole);
  done->setDefault(true);
  layout->addWidget(box);

  connect(add, &QPushButton::clicked, this, &ZPHToolbarCustomizationSheet::addSelectedItem);
  connect(remove, &QPushButton::clicked, this, &ZPHToolbarCustomizationSheet::removeSelectedItem);
  connect(defaults, &QPushButton::clicked, this, &ZPHToolbarCustomizationSheet::useDefaultSet);
  connect(m_allowed, &QListWidget::itemDoubleClicked, this, &ZPHToolbarCustomizationSheet::addSelectedItem);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    Q_EMIT itemsChosen(shownItems());
    Q_EMIT displayModeChosen(displayMode());
    accept();
  });
  resize(520, 380);
}

void ZPHToolbarCustomizationSheet::appendShown(const QString& identifier, int row)
{
  auto* item = new QListWidgetItem(ZPHMainWindowToolbarController::labelForItemIdentifier(identifier));
  item->setData(IdentifierRole, identifier);
  if (row < 0 || row > m_shown->count())
    m_shown->addItem(item);
  else
    m_shown->insertItem(row, item);
}

void ZPHToolbarCustomizationSheet::setItems(const QStringList& shown, const QStringList& allowed,
                                            const QStringList& defaults)
{
  m_defaults = defaults;
  m_shown->clear();
  m_allowed->clear();
  for (const QString& identifier : shown) appendShown(identifier);
  for (const QString& identifier : allowed) {
    auto* item = new QListWidgetItem(ZPHMainWindowToolbarController::labelForItemIdentifier(identifier));
    item->setData(IdentifierRole, identifier);
    m_allowed->addItem(item);
  }
  if (m_allowed->count() > 0)
    m_allowed->setCurrentRow(0);
}

QStringList ZPHToolbarCustomizationSheet::shownItems() const
{
  QStringList identifiers;
  for (int row = 0; row < m_shown->count(); ++row)
    identifiers.append(m_shown->item(row)->data(IdentifierRole).toString());
  return identifiers;
}

void ZPHToolbarCustomizationSheet::addSelectedItem()
{
  QListWidgetItem* chosen = m_allowed->currentItem();
  if (chosen == nullptr)
    return;
  const QString identifier = chosen->data(IdentifierRole).toString();
  // The fixed items show once at most.
  if (!isRepeatable(identifier) && shownItems().contains(identifier))
    return;
  const int row = m_shown->currentRow();
  appendShown(identifier, row);
}

void ZPHToolbarCustomizationSheet::removeSelectedItem()
{
  const int row = m_shown->currentRow();
  if (row >= 0)
    delete m_shown->takeItem(row);
}

void ZPHToolbarCustomizationSheet::useDefaultSet()
{
  m_shown->clear();
  for (const QString& identifier : std::as_const(m_defaults)) appendShown(identifier);
}

int ZPHToolbarCustomizationSheet::displayMode() const { return m_mode->currentData().toInt(); }

void ZPHToolbarCustomizationSheet::setDisplayMode(int mode)
{
  const int index = m_mode->findData(mode);
  if (index >= 0)
    m_mode->setCurrentIndex(index);
}
