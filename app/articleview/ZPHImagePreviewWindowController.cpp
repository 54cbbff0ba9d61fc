#include "articleview/ZPHImagePreviewWindowController.h"

#include "foundation/ZPHCoreApplicationDelegate.h"

#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QPixmap>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

namespace {

constexpr QSize kWindowSize(640, 480);

bool isWebAddress(const QUrl& url)
{
  return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

}  // namespace

ZPHImagePreviewWindowController::ZPHImagePreviewWindowController(Loader loader, QObject* parent)
    : QObject(parent), m_loader(std::move(loader))
{
}

ZPHImagePreviewWindowController::~ZPHImagePreviewWindowController() { delete m_window; }

QWidget* ZPHImagePreviewWindowController::window()
{
  if (m_window)
    return m_window;
  m_window = new QWidget(nullptr, Qt::Tool);
  m_window->setAttribute(Qt::WA_DeleteOnClose, false);
  m_window->resize(kWindowSize);
  m_window->installEventFilter(this);
  auto* layout = new QVBoxLayout(m_window);
  m_imageLabel = new QLabel(m_window);
  m_imageLabel->setAlignment(Qt::AlignCenter);
  m_imageLabel->setMinimumSize(1, 1);
  m_imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  layout->addWidget(m_imageLabel, 1);
  auto* bottom = new QHBoxLayout;
  auto* previous = new QPushButton(QStringLiteral("\u25C0"), m_window);
  auto* next = new QPushButton(QStringLiteral("\u25B6"), m_window);
  previous->setFocusPolicy(Qt::NoFocus);
  next->setFocusPolicy(Qt::NoFocus);
  connect(previous, &QPushButton::clicked, this, &ZPHImagePreviewWindowController::showPrevious);
  connect(next, &QPushButton::clicked, this, &ZPHImagePreviewWindowController::showNext);
  m_titleLabel = new QLabel(m_window);
  m_titleLabel->setTextFormat(Qt::PlainText);
  m_titleLabel->setAlignment(Qt::AlignCenter);
  bottom->addWidget(previous);
  bottom->addWidget(m_titleLabel, 1);
  bottom->addWidget(next);
  layout->addLayout(bottom);
  return m_window;
}

void ZPHImagePreviewWindowController::showItems(const QList<ZPHQLImagePreviewItem>& items, int chosenIndex)
{
  m_items = items;
  if (m_items.isEmpty())
    return;
  m_currentIndex = qBound(0, chosenIndex, int(m_items.size()) - 1);
  QWidget* previewWindow = window();
  showCurrent();
  previewWindow->show();
  previewWindow->raise();
  previewWindow->activateWindow();
}

void ZPHImagePreviewWindowController::showNext()
{
  if (m_items.isEmpty())
    return;
  m_currentIndex = (m_currentIndex + 1) % int(m_items.size());
  showCurrent();
}

void ZPHImagePreviewWindowController::showPrevious()
{
  if (m_items.isEmpty())
    return;
  m_currentIndex = (m_currentIndex + int(m_items.size()) - 1) % int(m_items.size());
  showCurrent();
}

void ZPHImagePreviewWindowController::close()
{
  if (m_window)
    m_window->hide();
}

void ZPHImagePreviewWindowController::showCurrent()
{
  const quint64 generation = ++m_generation;
  const ZPHQLImagePreviewItem& item = m_items.at(m_currentIndex);
  window()->setWindowTitle(item.title());
  m_titleLabel->setText(QStringLiteral("%1 (%2/%3)").arg(item.title()).arg(m_currentIndex + 1).arg(m_items.size()));
  m_imageLabel->setPixmap(QPixmap());
  m_currentImageShown = false;
  const QUrl url = item.urlToLoad();
  const QByteArray data = m_loader ? m_loader(url) : QByteArray();
  if (!data.isEmpty() || !isWebAddress(url)) {
    showData(data);
    return;
  }
  if (!m_network)
    m_network = new QNetworkAccessManager(this);
  QNetworkRequest request(url);
  request.setTransferTimeout(30000);
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    request.setHeader(QNetworkRequest::UserAgentHeader, delegate->userAgent());
  QNetworkReply* reply = m_network->get(request);
  connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
    if (received > MaximumDownloadSize)
      reply->abort();
  });
  connect(reply, &QNetworkReply::finished, this, [this, reply, generation] {
    reply->deleteLater();
    if (generation != m_generation)
      return;
    showData(reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray());
  });
}

void ZPHImagePreviewWindowController::showData(const QByteArray& data)
{
  QImage image;
  if (!data.isEmpty())
    image.loadFromData(data);
  if (image.isNull()) {
    m_imageLabel->setText(tr("The picture could not be shown."));
    Q_EMIT currentImageChanged();
    return;
  }
  const QSize available = m_imageLabel->size().isEmpty() ? kWindowSize : m_imageLabel->size();
  QPixmap pixmap = QPixmap::fromImage(image);
  if (pixmap.width() > available.width() || pixmap.height() > available.height())
    pixmap = pixmap.scaled(available, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  m_imageLabel->setPixmap(pixmap);
  m_currentImageShown = true;
  Q_EMIT currentImageChanged();
}

bool ZPHImagePreviewWindowController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_window && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Escape:
      case Qt::Key_Space:
        close();
        return true;
      case Qt::Key_Right:
      case Qt::Key_Down:
        showNext();
        return true;
      case Qt::Key_Left:
      case Qt::Key_Up:
        showPrevious();
        return true;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}
