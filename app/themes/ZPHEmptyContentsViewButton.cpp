#include "themes/ZPHEmptyContentsViewButton.h"

#include "kit/FRNHStretchableImage.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

namespace {

enum BezelImage { Active, Regular, Inactive, BezelImageCount };

std::shared_ptr<FRNHStretchableImage> g_bezelImages[BezelImageCount];
// The theme the images were loaded for. A switch while no button lives
// leaves the images of the old theme behind; they are dropped on first use.
const ZPHTheme* g_bezelTheme = nullptr;

std::shared_ptr<FRNHStretchableImage> cachedBezelImage(BezelImage which, const char* baseName)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme != g_bezelTheme) {
    ZPHEmptyContentsViewButton::clearImages();
    g_bezelTheme = theme;
  }
  std::shared_ptr<FRNHStretchableImage>& image = g_bezelImages[which];
  if (image != nullptr || theme == nullptr)
    return image;
  image = theme->stretchableImageNamed(QString::fromLatin1(baseName));
  if (image != nullptr) {
    image->setStretchableCapInsets({4, 5, 4, 5});
    image->setFlipped(true);
  }
  return image;
}

}  // namespace

ZPHEmptyContentsViewButton::ZPHEmptyContentsViewButton(QWidget* parent) : ZPHThemeUpdatingView<QPushButton>(parent)
{
  setFlat(true);
  setCursor(Qt::ArrowCursor);
  // Follows the active look of whichever window the button is in.
  m_activeStateObserver =
      ZPHNotificationCenter::defaultCenter().addObserver(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                                         QVariant(), [this](const ZPHNotification& notification) {
                                                           if (notification.object.value<QObject*>() == window())
                                                             update();
                                                         });
}

std::shared_ptr<FRNHStretchableImage> ZPHEmptyContentsViewButton::backgroundStretchableActiveImage()
{
  return cachedBezelImage(Active, "emptyButtonActive");
}

std::shared_ptr<FRNHStretchableImage> ZPHEmptyContentsViewButton::backgroundStretchableRegularImage()
{
  return cachedBezelImage(Regular, "emptyButton");
}

std::shared_ptr<FRNHStretchableImage> ZPHEmptyContentsViewButton::backgroundStretchableInactiveImage()
{
  return cachedBezelImage(Inactive, "emptyButtonInactive");
}

void ZPHEmptyContentsViewButton::clearImages()
{
  for (auto& image : g_bezelImages) image.reset();
}

std::shared_ptr<FRNHStretchableImage> ZPHEmptyContentsViewButton::bezelImage() const
{
  if (!zph_windowShouldDrawActive(this))
    return backgroundStretchableInactiveImage();
  return isDown() ? backgroundStretchableActiveImage() : backgroundStretchableRegularImage();
}

QSize ZPHEmptyContentsViewButton::titleSize() const
{
  const QFontMetrics metrics(font());
  return QSize(metrics.horizontalAdvance(text()), metrics.height());
}

QSize ZPHEmptyContentsViewButton::sizeHint() const { return titleSize() + QSize(36, 10); }

void ZPHEmptyContentsViewButton::themeChanged(const ZPHNotification& notification)
{
  clearImages();
  ZPHThemeUpdatingView<QPushButton>::themeChanged(notification);
}

void ZPHEmptyContentsViewButton::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  const QRectF bounds = rect();
  if (const auto bezel = bezelImage())
    bezel->drawInRect(painter, bounds, QPainter::CompositionMode_SourceOver, 1.0);

  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr || text().isEmpty())
    return;
  // Pressed, the title shows in the alternate colour; both cast the same
  // sharp shadow one point below.
  const QColor titleColor =
      isDown() ? theme->emptyViewAddSitesButtonAlternateTitleColor() : theme->emptyViewAddSitesButtonTitleColor();
  const QColor shadowColor = theme->emptyViewAddSitesButtonTitleShadowColor();
  painter.setFont(font());
  const int flags = Qt::AlignCenter | Qt::TextSingleLine;
  if (shadowColor.isValid()) {
    painter.setPen(shadowColor);
    painter.drawText(bounds.translated(0, 1), flags, text());
  }
  if (titleColor.isValid()) {
    painter.setPen(titleColor);
    painter.drawText(bounds, flags, text());
  }
}
