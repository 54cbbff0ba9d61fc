#include "articlelist/ZPHPlainArticleDetailPane.h"

#include "articlelist/ZPHArticleListCellView.h"
#include "articlelist/ZPHArticleListModel.h"
#include "foundation/CBDateManager.h"
#include "store/entities/CBDataArticle.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

ZPHPlainArticleDetailPane::ZPHPlainArticleDetailPane() = default;

ZPHPlainArticleDetailPane::~ZPHPlainArticleDetailPane()
{
  if (m_view && m_view->parent() == nullptr)
    delete m_view;
}

QWidget* ZPHPlainArticleDetailPane::view()
{
  if (m_view)
    return m_view;
  m_view = new QWidget;
  m_view->setObjectName(QStringLiteral("ZPHPlainArticleDetailPane"));
  m_view->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(m_view);
  layout->setContentsMargins(28, 24, 28, 24);
  layout->setSpacing(8);
  m_title = new QLabel(m_view);
  m_title->setTextFormat(Qt::PlainText);
  m_title->setWordWrap(true);
  m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont titleFont = m_title->font();
  titleFont.setPixelSize(20);
  titleFont.setBold(true);
  m_title->setFont(titleFont);
  m_date = new QLabel(m_view);
  m_date->setTextFormat(Qt::PlainText);
  m_date->setForegroundRole(QPalette::PlaceholderText);
  layout->addWidget(m_title);
  layout->addWidget(m_date);
  layout->addStretch(1);
  recolor();
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { recolor(); },
      ZPHNotificationCenter::Delivery::MainThread);
  return m_view;
}

void ZPHPlainArticleDetailPane::recolor()
{
  if (!m_view)
    return;
  // The list's own colours, so the pane follows the theme.
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  QPalette palette = m_view->palette();
  palette.setColor(QPalette::Window, theme->articleListItemUnreadKeyBackgroundColor());
  palette.setColor(QPalette::WindowText, theme->articleListItemUnreadKeyTextColor());
  palette.setColor(QPalette::PlaceholderText, theme->articleListItemReadKeyTextColor());
  m_view->setPalette(palette);
  // The texts take their colours themselves: under a style sheet (the
  // layouts' split views have one) a parent's palette does not reach them.
  for (QLabel* label : {m_title, m_date}) {
    QPalette colours = label->palette();
    colours.setColor(label->foregroundRole(), palette.color(label->foregroundRole()));
    label->setPalette(colours);
  }
}

void ZPHPlainArticleDetailPane::loadArticle(const LoadRequest& request)
{
  view();
  ++m_loads;
  const CBDataArticle* article = request.article;
  // A very long title is cut to what the pane can show.
  m_title->setText(article ? ZPHArticleListCellView::singleLineText(article->plainTextTitleForDisplay(), 2000)
                           : QString());
  m_date->setText(article ? ZPHArticleListModel::relativeDateString(ZPHArticleListModel::displayDateForArticle(article),
                                                                    CBDateManager::sharedManager())
                          : QString());
  QPointer<ZPHPlainArticleDetailPane> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self)
      Q_EMIT self->mainFrameDidFinishLoading();
  });
}

QString ZPHPlainArticleDetailPane::shownTitle() const { return m_title ? m_title->text() : QString(); }

QString ZPHPlainArticleDetailPane::shownDate() const { return m_date ? m_date->text() : QString(); }
