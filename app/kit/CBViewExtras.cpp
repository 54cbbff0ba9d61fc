#include "kit/CBViewExtras.h"

#include <QtGui/QFont>
#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

#include <algorithm>

namespace {

constexpr qreal kLineFragmentPadding = 2.0;

}  // namespace

bool cb_isOrIsDescendedFromFirstResponder(const QWidget* widget)
{
  if (widget == nullptr || QGuiApplication::applicationState() != Qt::ApplicationActive)
    return false;
  const QWidget* window = widget->window();
  if (window == nullptr || !window->isActiveWindow())
    return false;
  const QWidget* focus = window->focusWidget();
  return focus != nullptr && (focus == widget || focus->isAncestorOf(widget));
}

QWidget* cb_firstSubview(const QWidget* widget) { return cb_firstSubviewOfClass<QWidget>(widget); }

bool cb_isOpen(const QWidget* window) { return window != nullptr && window->isVisible(); }

void cb_closeWindow(QWidget* window)
{
  if (window != nullptr)
    window->close();
}

void cb_giveMessageBoxRoom(QMessageBox* box, int width)
{
  if (box == nullptr)
    return;
  // The informative text where there is one (the message sits above it, in
  // the same column), else the message.
  auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
  if (label == nullptr || label->text().isEmpty())
    label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label != nullptr)
    label->setMinimumWidth(width);
}

void cb_showWindowCentered(QWidget* window)
{
  if (window == nullptr)
    return;
  if (!window->isVisible()) {
    if (QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen()) {
      QRect frame = window->frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      window->move(frame.topLeft());
    }
  }
  window->show();
  window->raise();
  window->activateWindow();
}

QSizeF cb_sizeWithFont(const QString& text, const QFont& font, qreal width)
{
  const qreal available = width - 2 * kLineFragmentPadding;
  if (text.isEmpty() || !(available > 0))
    return {};
  const QFontMetricsF metrics(font);
  const QRectF used = metrics.boundingRect(QRectF(0, 0, available, 10000000.0), Qt::TextWordWrap, text);
  return QSizeF(std::min(width, used.width() + 2 * kLineFragmentPadding), used.height());
}

void setNeedsDisplayToYes(QWidget* widget)
{
  if (widget != nullptr)
    widget->update();
}
