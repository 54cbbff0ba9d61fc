#include "sharing/ZPHAppDotNetPostViewController.h"

#include "kit/ZPHInterfaceLog.h"
#include "sharing/CBSharableItem.h"
#include "sharing/ZPHSharingPopoverTableRowView.h"
#include "sharing/ZPHSocialPostClient.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHAppDotNetPostViewControllerDelegate::~ZPHAppDotNetPostViewControllerDelegate() = default;

ZPHAppDotNetPostTextView::ZPHAppDotNetPostTextView(QWidget* parent) : QPlainTextEdit(parent)
{
  setTabChangesFocus(true);
  setFrameShape(QFrame::NoFrame);
  setViewportMargins(16, 10, 16, 10);
  QFont font = this->font();
  font.setPointSize(14);
  setFont(font);
}

ZPHAppDotNetPostScrollView::ZPHAppDotNetPostScrollView(QWidget* parent) : ZPHThemeUpdatingView<QWidget>(parent) {}

void ZPHAppDotNetPostScrollView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  const QColor color = ZPHTheme::currentTheme()->sharingTextViewBorderColor();
  painter.fillRect(QRect(0, 0, width(), 1), color);
  painter.fillRect(QRect(0, height() - 1, width(), 1), color);
}

ZPHAppDotNetPostViewController::ZPHAppDotNetPostViewController(ZPHAppDotNetPostViewControllerDelegate* delegate,
                                                               QObject* parent)
    : QObject(parent), m_delegate(delegate)
{
  m_view = new QWidget;
  m_view->setObjectName(QStringLiteral("ZPHAppDotNetPostView"));
  m_view->setFixedSize(320, 230);
  QPalette palette = m_view->palette();
  palette.setColor(QPalette::WindowText, ZPHSharingPopoverTableRowView::validTitleColor());
  m_view->setPalette(palette);
  auto* layout = new QVBoxLayout(m_view);
  layout->setContentsMargins(0, 10, 0, 10);
  layout->setSpacing(6);
  auto* scroll = new ZPHAppDotNetPostScrollView(m_view);
  auto* scrollLayout = new QVBoxLayout(scroll);
  scrollLayout->setContentsMargins(0, 1, 0, 1);
  m_textView = new ZPHAppDotNetPostTextView(scroll);
  m_textView->setObjectName(QStringLiteral("postTextView"));
  scrollLayout->addWidget(m_textView);
  layout->addWidget(scroll, 1);

  auto* status = new QHBoxLayout;
  status->setContentsMargins(16, 0, 16, 0);
  m_errorMessageLabel = new QLabel(m_view);
  m_errorMessageLabel->setObjectName(QStringLiteral("errorMessageLabel"));
  m_errorMessageLabel->setTextFormat(Qt::PlainText);
  m_errorMessageLabel->setWordWrap(true);
  QPalette errorPalette = m_errorMessageLabel->palette();
  errorPalette.setColor(QPalette::WindowText, ZPHTheme::currentTheme()->sharingLoginErrorMessageTextColor());
  m_errorMessageLabel->setPalette(errorPalette);
  status->addWidget(m_errorMessageLabel, 1);
  m_remainingLabel = new QLabel(m_view);
  m_remainingLabel->setObjectName(QStringLiteral("remainingLabel"));
  m_remainingLabel->setTextFormat(Qt::PlainText);
  status->addWidget(m_remainingLabel);
  layout->addLayout(status);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(16, 0, 16, 0);
  buttons->addStretch(1);
  m_cancelButton = new QPushButton(tr("Cancel"), m_view);
  m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
  buttons->addWidget(m_cancelButton);
  m_postButton = new QPushButton(tr("Post"), m_view);
  m_postButton->setObjectName(QStringLiteral("postButton"));
  m_postButton->setDefault(true);
  buttons->addWidget(m_postButton);
  layout->addLayout(buttons);

  connect(m_textView, &QPlainTextEdit::textChanged, this, &ZPHAppDotNetPostViewController::update);
  connect(m_postButton, &QPushButton::clicked, this, &ZPHAppDotNetPostViewController::post);
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHAppDotNetPostViewController::cancel);
  update();
}

ZPHAppDotNetPostViewController::~ZPHAppDotNetPostViewController() { delete m_view; }

QString ZPHAppDotNetPostViewController::postText() const { return m_textView->toPlainText(); }

void ZPHAppDotNetPostViewController::setPostText(const QString& text) { m_textView->setPlainText(text); }

qsizetype ZPHAppDotNetPostViewController::numberOfCharactersRemainingForText(const QString& text)
{
  return MaximumPostLength - text.toUcs4().size();
}

qsizetype ZPHAppDotNetPostViewController::numberOfCharactersRemaining() const
{
  return numberOfCharactersRemainingForText(postText());
}

QColor ZPHAppDotNetPostViewController::numberOfCharactersRemainingTextColor() const
{
  return numberOfCharactersRemaining() < 0 ? ZPHTheme::currentTheme()->appDotNetCharactersRemainingNegativeTextColor()
                                           : ZPHTheme::currentTheme()->appDotNetCharactersRemainingPositiveTextColor();
}

bool ZPHAppDotNetPostViewController::canPost() const
{
  return hasPostText() && numberOfCharactersRemaining() >= 0 && !m_posting;
}

void ZPHAppDotNetPostViewController::update()
{
  m_remainingLabel->setText(QString::number(numberOfCharactersRemaining()));
  QPalette palette = m_remainingLabel->palette();
  palette.setColor(QPalette::WindowText, numberOfCharactersRemainingTextColor());
  m_remainingLabel->setPalette(palette);
  const bool can = canPost();
  if (m_postButton->isEnabled() != can) {
    m_postButton->setEnabled(can);
    Q_EMIT canPostChanged(can);
  }
}

void ZPHAppDotNetPostViewController::setPosting(bool posting)
{
  m_posting = posting;
  m_textView->setReadOnly(posting);
  update();
}

void ZPHAppDotNetPostViewController::populatePostTextWithSharableItem(const CBSharableItem& item)
{
  setPostText(item.title() + u'\n' + QString::fromUtf8(item.URL().toEncoded()));
}

void ZPHAppDotNetPostViewController::post()
{
  if (!canPost())
    return;
  m_errorMessage.clear();
  m_errorMessageLabel->clear();
  setPosting(true);
  QPointer<ZPHAppDotNetPostViewController> self(this);
  ZPHSocialPostClient::sharedClient()->createPost(postText(), [self](const ZPHError& error) {
    if (self == nullptr)
      return;
    self->setPosting(false);
    if (!error.isNull()) {
      qCWarning(zphInterface).noquote() << "the post was not accepted:" << error.domain() << error.code();
      self->m_errorMessage = error.localizedDescription();
      self->m_errorMessageLabel->setText(self->m_errorMessage);
      return;
    }
    if (self->m_delegate != nullptr)
      self->m_delegate->appDotNetPostViewControllerDidSuccessfullyPost(self);
  });
}

void ZPHAppDotNetPostViewController::cancel()
{
  if (m_delegate != nullptr)
    m_delegate->appDotNetPostViewControllerDidCancelPost(this);
}
