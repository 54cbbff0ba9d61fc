#include "preferences/ZPHPreferencesFontsViewController.h"

#include "articlelist/ZPHArticleListSettings.h"
#include "articleview/ZPHStyleSheetController.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/CBFontLabelView.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFontDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

#include <cmath>

namespace {

// The rule between the fonts and the list settings: a line that fades in
// and out from the left to the right, three quarters of the pane wide.
class FadingRule : public QWidget {
public:
  explicit FadingRule(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    const qreal width = 0.75 * this->width();
    const qreal x = std::floor(this->width() * 0.25 * 0.5) + 0.5;
    QLinearGradient gradient(x, 0, x + width, 0);
    QColor grey = QColor::fromRgbF(0.75, 0.75, 0.75, 0);
    gradient.setColorAt(0, grey);
    grey.setAlphaF(1);
    gradient.setColorAt(0.5, grey);
    grey.setAlphaF(0);
    gradient.setColorAt(1, grey);
    painter.fillRect(QRectF(x, 0, width, 1), gradient);
  }
};

const QList<int> MinimumSizes = {0, 9, 10, 11, 12, 14, 18, 24};

}  // namespace

ZPHPreferencesFontsViewController::ZPHPreferencesFontsViewController(ZPHStyleSheetController* styleSheetController,
                                                                     FamilyInstalled familyInstalled, QObject* parent)
    : FRNHPreferenceViewController(parent),
      m_styleSheetController(styleSheetController),
      m_familyInstalled(std::move(familyInstalled))
{
  if (!m_familyInstalled)
    m_familyInstalled = [](const QString& family) { return QFontDatabase::families().contains(family); };
  m_stylesObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this, [this](const ZPHNotification&) { updateFontLabels(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

ZPHPreferencesFontsViewController::~ZPHPreferencesFontsViewController()
{
  if (m_fontPanel != nullptr)
    delete m_fontPanel.data();
}

ZPHStyleSheetController* ZPHPreferencesFontsViewController::styleSheet() const
{
  return m_styleSheetController != nullptr ? m_styleSheetController : ZPHStyleSheetController::sharedController();
}

QString ZPHPreferencesFontsViewController::title() const { return tr("Reading"); }

QIcon ZPHPreferencesFontsViewController::image() const
{
  return QIcon::fromTheme(QStringLiteral("preferences-desktop-font"),
                          QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

QFont ZPHPreferencesFontsViewController::htmlStandardFont() const
{
  ZPHStyleSheetController* style = styleSheet();
  const QString family = style->standardFontFamily();
  const int size = style->defaultFontSize();
  if (!family.isEmpty() && size > 0 && m_familyInstalled(family))
    return QFont(family, size);
  return style->defaultFont();
}

QFont ZPHPreferencesFontsViewController::htmlFixedFont() const
{
  ZPHStyleSheetController* style = styleSheet();
  const QString family = style->fixedFontFamily();
  const int size = style->defaultFixedFontSize();
  if (!family.isEmpty() && size > 0 && m_familyInstalled(family))
    return QFont(family, size);
  return style->defaultFixedFont();
}

int ZPHPreferencesFontsViewController::minimumFontSize() const { return styleSheet()->minimumFontSize(); }

void ZPHPreferencesFontsViewController::setMinimumFontSize(int size) { styleSheet()->setMinimumFontSize(size); }

bool ZPHPreferencesFontsViewController::numberOfLinesShouldBeEnabled() const
{
  return ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHContentLayoutMode) != 1;
}

bool ZPHPreferencesFontsViewController::supportsShowPictures() const { return numberOfLinesShouldBeEnabled(); }

QWidget* ZPHPreferencesFontsViewController::loadView()
{
  // The style settings are made (and announce themselves) before the
  // samples exist.
  styleSheet();
  auto* view = new QWidget();
  view->setObjectName(QStringLiteral("PreferencesFonts"));
  auto* grid = new QGridLayout(view);
  grid->setContentsMargins(24, 20, 24, 20);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(10);
  int row = 0;
  const auto label = [view](const QString& text) {
    auto* item = new QLabel(text, view);
    item->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
  };

  m_standardFontLabelView = new CBFontLabelView(view);
  m_standardFontLabelView->setObjectName(QStringLiteral("standardFontLabelView"));
  auto* chooseStandard = new QPushButton(tr("Select\u2026"), view);
  chooseStandard->setObjectName(QStringLiteral("chooseHTMLStandardFont"));
  connect(chooseStandard, &QPushButton::clicked, this, &ZPHPreferencesFontsViewController::chooseHTMLStandardFont);
  grid->addWidget(label(tr("Standard font:")), row, 0);
  grid->addWidget(m_standardFontLabelView, row, 1);
  grid->addWidget(chooseStandard, row++, 2);

  m_fixedFontLabelView = new CBFontLabelView(view);
  m_fixedFontLabelView->setObjectName(QStringLiteral("fixedFontLabelView"));
  auto* chooseFixed = new QPushButton(tr("Select\u2026"), view);
  chooseFixed->setObjectName(QStringLiteral("chooseHTMLFixedFont"));
  connect(chooseFixed, &QPushButton::clicked, this, &ZPHPreferencesFontsViewController::chooseHTMLFixedFont);
  grid->addWidget(label(tr("Fixed-width font:")), row, 0);
  grid->addWidget(m_fixedFontLabelView, row, 1);
  grid->addWidget(chooseFixed, row++, 2);

  m_minimumFontSizePopUpButton = new QComboBox(view);
  m_minimumFontSizePopUpButton->setObjectName(QStringLiteral("minimumFontSizePopUpButton"));
  for (int size : MinimumSizes)
    m_minimumFontSizePopUpButton->addItem(size == 0 ? tr("None") : QString::number(size), size);
  connect(m_minimumFontSizePopUpButton, &QComboBox::activated, this,
          [this](int index) { setMinimumFontSize(m_minimumFontSizePopUpButton->itemData(index).toInt()); });
  auto* reset = new QPushButton(tr("Reset Fonts and Column Width"), view);
  reset->setObjectName(QStringLiteral("resetToDefaultFonts"));
  connect(reset, &QPushButton::clicked, this, &ZPHPreferencesFontsViewController::resetToDefaultFonts);
  auto* minimumRow = new QHBoxLayout();
  minimumRow->addWidget(m_minimumFontSizePopUpButton);
  minimumRow->addStretch();
  minimumRow->addWidget(reset);
  grid->addWidget(label(tr("Minimum font size:")), row, 0);
  grid->addLayout(minimumRow, row++, 1, 1, 2);

  grid->addWidget(new FadingRule(view), row++, 0, 1, 3);

  m_layoutControl = new QButtonGroup(view);
  m_layoutControl->setExclusive(true);
  auto* layouts = new QHBoxLayout();
  layouts->setSpacing(0);
  for (const auto& [mode, title, tip] :
       {std::tuple{0, tr("Standard"), tr("Standard Layout")}, std::tuple{1, tr("Classic"), tr("Classic Layout")}}) {
    auto* button = new QToolButton(view);
    button->setObjectName(mode == 0 ? QStringLiteral("standardLayoutButton") : QStringLiteral("classicLayoutButton"));
    button->setText(title);
    button->setToolTip(tip);
    button->setCheckable(true);
    button->setMinimumWidth(90);
    m_layoutControl->addButton(button, mode);
    layouts->addWidget(button);
  }
  layouts->addStretch();
  connect(m_layoutControl, &QButtonGroup::idClicked, this, &ZPHPreferencesFontsViewController::setLayoutMode);
  grid->addWidget(label(tr("Article list:")), row, 0);
  grid->addLayout(layouts, row++, 1, 1, 2);

  m_previewNumberOfLinesPopUpButton = new QComboBox(view);
  m_previewNumberOfLinesPopUpButton->setObjectName(QStringLiteral("previewNumberOfLinesPopUpButton"));
  m_previewNumberOfLinesPopUpButton->addItems({tr("1 line"), tr("2 lines"), tr("3 lines")});
  connect(m_previewNumberOfLinesPopUpButton, &QComboBox::activated, this,
          &ZPHPreferencesFontsViewController::changeNumberOfLinesInPreviewInArticlesList);
  auto* linesRow = new QHBoxLayout();
  linesRow->addWidget(m_previewNumberOfLinesPopUpButton);
  linesRow->addStretch();
  grid->addWidget(label(tr("Preview:")), row, 0);
  grid->addLayout(linesRow, row++, 1, 1, 2);

  m_showPicturesCheckBox = new QCheckBox(tr("Show pictures in the article list"), view);
  m_showPicturesCheckBox->setObjectName(QStringLiteral("showPicturesCheckBox"));
  connect(m_showPicturesCheckBox, &QCheckBox::clicked, this,
          &ZPHPreferencesFontsViewController::togglePicturesInArticlesList);
  grid->addWidget(m_showPicturesCheckBox, row++, 1, 1, 2);
  grid->setColumnStretch(1, 1);

  updateFontLabels();
  updateArticleListControls();
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const QString& key : {ZPHContentLayoutMode, ZPHNumberOfLinesInArticleListPreviewsKey,
                             ZPHShowPicturesInArticleListDefaultsKey, ZPHStyleSheetController::MinimumFontSizeKey})
    defaults.observe(key, this, [this](const QVariant&) { updateArticleListControls(); });
  setInitialFirstResponder(chooseStandard);
  return view;
}

void ZPHPreferencesFontsViewController::updateFontLabels()
{
  if (m_standardFontLabelView == nullptr)
    return;
  m_standardFontLabelView->setChosenFont(htmlStandardFont());
  m_fixedFontLabelView->setChosenFont(htmlFixedFont());
}

void ZPHPreferencesFontsViewController::updateArticleListControls()
{
  if (m_layoutControl == nullptr)
    return;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const int mode = defaults.integerForKey(ZPHContentLayoutMode) == 1 ? 1 : 0;
  if (QAbstractButton* button = m_layoutControl->button(mode))
    button->setChecked(true);
  const qint64 lines = defaults.integerForKey(ZPHNumberOfLinesInArticleListPreviewsKey);
  m_previewNumberOfLinesPopUpButton->setCurrentIndex(
      lines >= 1 && lines <= m_previewNumberOfLinesPopUpButton->count() ? int(lines - 1) : -1);
  m_showPicturesCheckBox->setChecked(defaults.boolForKey(ZPHShowPicturesInArticleListDefaultsKey));
  m_previewNumberOfLinesPopUpButton->setEnabled(numberOfLinesShouldBeEnabled());
  m_showPicturesCheckBox->setEnabled(supportsShowPictures());
  m_minimumFontSizePopUpButton->setCurrentIndex(m_minimumFontSizePopUpButton->findData(minimumFontSize()));
}

void ZPHPreferencesFontsViewController::setLayoutMode(int mode)
{
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHContentLayoutMode, mode == 1 ? 1 : 0);
}

void ZPHPreferencesFontsViewController::chooseHTMLStandardFont() { openFontPanel(true); }

void ZPHPreferencesFontsViewController::chooseHTMLFixedFont() { openFontPanel(false); }

void ZPHPreferencesFontsViewController::openFontPanel(bool standard)
{
  m_changingStandardFont = standard;
  if (m_fontPanel == nullptr) {
    m_fontPanel = new QFontDialog(view());
    m_fontPanel->setObjectName(QStringLiteral("fontPanel"));
    connect(m_fontPanel, &QFontDialog::fontSelected, this, &ZPHPreferencesFontsViewController::changeFont);
  }
  m_fontPanel->setOption(QFontDialog::MonospacedFonts, !standard);
  m_fontPanel->setCurrentFont(standard ? htmlStandardFont() : htmlFixedFont());
  m_fontPanel->open();
}

void ZPHPreferencesFontsViewController::changeFont(const QFont& font)
{
  if (font.family().isEmpty())
    return;
  const QFont current = m_changingStandardFont ? htmlStandardFont() : htmlFixedFont();
  const int size = int(std::trunc(font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize()));
  if (font.family() == current.family() && size == int(std::trunc(current.pointSizeF())))
    return;
  ZPHStyleSheetController* style = styleSheet();
  if (m_changingStandardFont) {
    style->setDefaultFontSize(size);
    style->setStandardFontFamily(font.family());
  } else {
    style->setDefaultFixedFontSize(size);
    style->setFixedFontFamily(font.family());
  }
  updateFontLabels();
}

void ZPHPreferencesFontsViewController::resetToDefaultFonts()
{
  ZPHStyleSheetController* style = styleSheet();
  style->resetFontDefaults();
  style->resetArticleMargins();
  updateFontLabels();
}

void ZPHPreferencesFontsViewController::changeNumberOfLinesInPreviewInArticlesList(int index)
{
  if (index < 0)
    return;
  ZPHUserDefaults::standardUserDefaults().setInteger(ZPHNumberOfLinesInArticleListPreviewsKey, index + 1);
  ZPHNotificationCenter::defaultCenter().post(ZPHArticleListPrefsDidChangeNotification);
}

void ZPHPreferencesFontsViewController::togglePicturesInArticlesList(bool checked)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHShowPicturesInArticleListDefaultsKey, checked);
  ZPHNotificationCenter::defaultCenter().post(ZPHArticleListPrefsDidChangeNotification);
}
