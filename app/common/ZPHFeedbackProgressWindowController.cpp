#include "common/ZPHFeedbackProgressWindowController.h"

#include "kit/ZPHIndeterminateProgressIndicator.h"

#include <QtCore/QTimer>
#include <QtCore/QVariantAnimation>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

QPointer<ZPHFeedbackProgressWindowController>& sharedInstance()
{
  static QPointer<ZPHFeedbackProgressWindowController> shared;
  return shared;
}

// A dark rounded panel.
class ProgressPanel : public QWidget {
public:
  ProgressPanel() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
  {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
  }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
    painter.fillPath(panel, QColor(0, 0, 0, 170));
  }
};

}  // namespace

ZPHFeedbackProgressWindowController* ZPHFeedbackProgressWindowController::sharedController()
{
  if (sharedInstance() == nullptr)
    sharedInstance() = new ZPHFeedbackProgressWindowController(qApp);
  return sharedInstance();
}

bool ZPHFeedbackProgressWindowController::hasSharedController() { return sharedInstance() != nullptr; }

void ZPHFeedbackProgressWindowController::runWindowWithTitle(const QString& title, const QImage& image)
{
  ZPHFeedbackProgressWindowController* controller = sharedController();
  controller->setImage(image);
  controller->setTitle(title);
  controller->setShowingSuccessMessage(false);
  controller->showWindow();
}

void ZPHFeedbackProgressWindowController::runWindowWithSuccessMessage(const QString& title, const QImage& image)
{
  ZPHFeedbackProgressWindowController* controller = sharedController();
  controller->setImage(image);
  controller->setTitle(title);
  controller->setShowingSuccessMessage(true);
  controller->showWindow();
  controller->m_fadeTimer->start(SuccessDelayMs);
}

void ZPHFeedbackProgressWindowController::closeSharedWindow()
{
  if (hasSharedController())
    sharedController()->closeWindow();
}

ZPHFeedbackProgressWindowController::ZPHFeedbackProgressWindowController(QObject* parent) : QObject(parent)
{
  m_fadeTimer = new QTimer(this);
  m_fadeTimer->setSingleShot(true);
  connect(m_fadeTimer, &QTimer::timeout, this, &ZPHFeedbackProgressWindowController::fadeoutWindow);
  m_closeTimer = new QTimer(this);
  m_closeTimer->setSingleShot(true);
  connect(m_closeTimer, &QTimer::timeout, this, &ZPHFeedbackProgressWindowController::closeWindow);
}

ZPHFeedbackProgressWindowController::~ZPHFeedbackProgressWindowController() { delete m_window.data(); }

QWidget* ZPHFeedbackProgressWindowController::window()
{
  if (m_window != nullptr)
    return m_window;
  auto* window = new ProgressPanel();
  window->setObjectName(QStringLiteral("FeedbackProgress"));
  window->setFixedSize(260, 150);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(18, 18, 18, 18);
  auto* top = new QHBoxLayout();
  m_imageView = new QLabel(window);
  m_imageView->setObjectName(QStringLiteral("imageView"));
  m_imageView->setFixedSize(48, 48);
  m_imageView->setAlignment(Qt::AlignCenter);
  m_progressIndicator = new ZPHIndeterminateProgressIndicator(window);
  m_progressIndicator->setObjectName(QStringLiteral("progressIndicator"));
  m_progressIndicator->setColor(Qt::white);
  m_progressIndicator->setFixedSize(32, 32);
  top->addStretch();
  top->addWidget(m_imageView);
  top->addWidget(m_progressIndicator);
  top->addStretch();
  layout->addLayout(top);
  m_titleTextField = new QLabel(window);
  m_titleTextField->setObjectName(QStringLiteral("titleTextField"));
  m_titleTextField->setTextFormat(Qt::PlainText);
  m_titleTextField->setAlignment(Qt::AlignCenter);
  m_titleTextField->setWordWrap(true);
  QPalette palette = m_titleTextField->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  m_titleTextField->setPalette(palette);
  QFont font = m_titleTextField->font();
  font.setPointSizeF(font.pointSizeF() * 1.2);
  font.setBold(true);
  m_titleTextField->setFont(font);
  layout->addWidget(m_titleTextField);
  m_window = window;
  return m_window;
}

bool ZPHFeedbackProgressWindowController::isSpinning() const
{
  return m_progressIndicator != nullptr && m_progressIndicator->isRunning();
}

void ZPHFeedbackProgressWindowController::fadeTo(qreal opacity, int durationMs)
{
  if (m_fade != nullptr)
    m_fade->stop();
  auto* fade = new QVariantAnimation(this);
  fade->setStartValue(m_window->windowOpacity());
  fade->setEndValue(opacity);
  fade->setDuration(durationMs);
  QPointer<QWidget> window = m_window;
  connect(fade, &QVariantAnimation::valueChanged, this, [window](const QVariant& value) {
    if (window != nullptr)
      window->setWindowOpacity(value.toReal());
  });
  m_fade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZPHFeedbackProgressWindowController::showWindow()
{
  QWidget* panel = window();
  panel->setWindowTitle(QString());
  m_imageView->setPixmap(
      m_image.isNull() ? QPixmap()
                       : QPixmap::fromImage(m_image).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  m_imageView->setVisible(!m_image.isNull());
  m_titleTextField->setText(m_title);
  m_closeTimer->stop();
  m_fadeTimer->stop();
  if (m_showingSuccessMessage) {
    m_progressIndicator->stopProgressAnimation();
    m_progressIndicator->hide();
  } else {
    m_progressIndicator->show();
    m_progressIndicator->startProgressAnimation();
  }
  if (!panel->isVisible()) {
    panel->setWindowOpacity(0);
    centerWindowInFrontOfNewsreaderWindow();
    panel->show();
    fadeTo(1.0, FadeMs);
  } else {
    // A new message replaces the old one without fading in again.
    if (m_fade != nullptr)
      m_fade->stop();
    panel->setWindowOpacity(1);
  }
}

void ZPHFeedbackProgressWindowController::fadeoutWindow()
{
  if (m_window == nullptr || !m_window->isVisible())
    return;
  fadeTo(0.0, FadeMs);
  m_closeTimer->start(CloseAfterFadeMs);
}

void ZPHFeedbackProgressWindowController::closeWindow()
{
  if (m_window == nullptr)
    return;
  m_fadeTimer->stop();
  m_closeTimer->stop();
  if (m_fade != nullptr)
    m_fade->stop();
  m_showingSuccessMessage = false;
  m_progressIndicator->stopProgressAnimation();
  m_imageView->clear();
  m_image = QImage();
  m_titleTextField->clear();
  m_window->hide();
}

void ZPHFeedbackProgressWindowController::centerWindowInFrontOfNewsreaderWindow()
{
  QWidget* main = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String("ZPHMainWindow") && widget->isVisible())
      main = widget;
  if (main == nullptr)
    main = QApplication::activeWindow();
  const QRect frame = main != nullptr ? main->frameGeometry() : QRect();
  const QSize size = window()->size();
  const QPoint centre = frame.center();
  const int top = std::max(frame.top(), centre.y() - int(2.5 * size.height()) - 100);
  m_window->move(centre.x() - size.width() / 2, top);
}
