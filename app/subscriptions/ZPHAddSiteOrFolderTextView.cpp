#include "subscriptions/ZPHAddSiteOrFolderTextView.h"

#include "kit/ZPHInnerGlowClipView.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QTextBlock>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr int VerticalInset = 6;
constexpr int PlaceholderX = 8;

bool holdsLineBreak(const QString& text)
{
  return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0x2028)) ||
         text.contains(QChar(0x2029));
}

}  // namespace

ZPHAddSiteOrFolderTextView* ZPHAddSiteOrFolderTextView::makeInBackdrop(QWidget* parent, ZPHInnerGlowClipView** backdrop)
{
  auto* view = new ZPHInnerGlowClipView(parent);
  view->setBackgroundColor(Qt::white);
  view->setInnerGlowColor(ZPHTheme::currentTheme()->addSiteOrFolderTextViewBlueGlowColor());
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* text = new ZPHAddSiteOrFolderTextView(view);
  layout->addWidget(text);
  if (backdrop != nullptr)
    *backdrop = view;
  return text;
}

ZPHAddSiteOrFolderTextView::ZPHAddSiteOrFolderTextView(QWidget* parent) : QPlainTextEdit(parent)
{
  setFrameShape(QFrame::NoFrame);
  setTabChangesFocus(true);
  setAttribute(Qt::WA_TranslucentBackground);
  viewport()->setAutoFillBackground(false);
  QPalette colors = palette();
  colors.setColor(QPalette::Base, Qt::transparent);
  colors.setColor(QPalette::Text, Qt::black);
  setPalette(colors);
  QFont textFont = font();
  textFont.setPixelSize(13);
  setFont(textFont);
  document()->setDocumentMargin(0);
  setViewportMargins(PlaceholderX - 4, VerticalInset, 4, VerticalInset);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setDefaultLineBreakMode(LineBreakMode::CharacterWrapping);
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] { updateInnerGlow(); });
}

ZPHInnerGlowClipView* ZPHAddSiteOrFolderTextView::glowView() const
{
  return qobject_cast<ZPHInnerGlowClipView*>(parentWidget());
}

void ZPHAddSiteOrFolderTextView::setCustomPlaceholderString(const QString& placeholder)
{
  m_customPlaceholderString = placeholder;
  viewport()->update();
}

void ZPHAddSiteOrFolderTextView::setDefaultLineBreakMode(LineBreakMode mode)
{
  m_lineBreakMode = mode;
  if (mode == LineBreakMode::CharacterWrapping) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    // The field grows with its text (its window asks how high it is); the
    // cursor keeps itself in view beyond that.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
}

int ZPHAddSiteOrFolderTextView::textHeightForWidth(int width) const
{
  const QFontMetrics metrics(font());
  if (m_lineBreakMode == LineBreakMode::TruncatingHead)
    return metrics.height() + 2 * VerticalInset + 4;
  const int textWidth = std::max(1, width - PlaceholderX);
  int lines = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    const int advance = metrics.horizontalAdvance(block.text());
    lines += std::max(1, (advance + textWidth - 1) / textWidth);
  }
  return std::max(1, lines) * metrics.lineSpacing() + 2 * VerticalInset + 4;
}

void ZPHAddSiteOrFolderTextView::keyPressEvent(QKeyEvent* event)
{
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
      }
      Q_EMIT returnPressed();
      event->accept();
      return;
    case Qt::Key_Tab:
      focusNextPrevChild(true);
      event->accept();
      return;
    case Qt::Key_Backtab:
      focusNextPrevChild(false);
      event->accept();
      return;
    default:
      QPlainTextEdit::keyPressEvent(event);
  }
}

bool ZPHAddSiteOrFolderTextView::canInsertFromMimeData(const QMimeData* source) const
{
  if (m_refusesLineBreaks && source != nullptr && source->hasText() && holdsLineBreak(source->text()))
    return false;
  return QPlainTextEdit::canInsertFromMimeData(source);
}

void ZPHAddSiteOrFolderTextView::insertFromMimeData(const QMimeData* source)
{
  if (source == nullptr || !source->hasText())
    return;
  QString text = source->text();
  if (holdsLineBreak(text)) {
    if (m_refusesLineBreaks) {
      QApplication::beep();
      return;
    }
    if (m_lineBreakMode == LineBreakMode::TruncatingHead) {
      // One line: the breaks become spaces.
      for (const QChar lineBreak : {QChar(u'\r'), QChar(u'\n'), QChar(0x2028), QChar(0x2029)})
        text.replace(lineBreak, QLatin1Char(' '));
    }
  }
  insertPlainText(text);
}

void ZPHAddSiteOrFolderTextView::paintEvent(QPaintEvent* event)
{
  // The backdrop paints behind an editable text; a read-only one has a
  // background of its own.
  if (isReadOnly()) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), ZPHTheme::currentTheme()->addSiteDisabledURLTextViewBackgroundColor());
  }
  QPlainTextEdit::paintEvent(event);
  if (document()->isEmpty() && !m_customPlaceholderString.isEmpty() && !viewport()->rect().isEmpty()) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(ZPHTheme::currentTheme()->addSitePlaceholderTextColor());
    const QRect area = viewport()->rect().adjusted(4, 0, 0, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_customPlaceholderString);
  }
}

void ZPHAddSiteOrFolderTextView::updateInnerGlow()
{
  const bool glow = QGuiApplication::applicationState() == Qt::ApplicationActive && window()->isActiveWindow() &&
                    hasFocus() && !isReadOnly();
  if (glow == m_shouldDrawInnerGlow)
    return;
  m_shouldDrawInnerGlow = glow;
  if (ZPHInnerGlowClipView* view = glowView())
    view->setShouldDrawInnerGlow(glow);
}

void ZPHAddSiteOrFolderTextView::focusInEvent(QFocusEvent* event)
{
  QPlainTextEdit::focusInEvent(event);
  QTimer::singleShot(0, this, &ZPHAddSiteOrFolderTextView::updateInnerGlow);
}

void ZPHAddSiteOrFolderTextView::focusOutEvent(QFocusEvent* event)
{
  QPlainTextEdit::focusOutEvent(event);
  QTimer::singleShot(0, this, &ZPHAddSiteOrFolderTextView::updateInnerGlow);
}

void ZPHAddSiteOrFolderTextView::changeEvent(QEvent* event)
{
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::ActivationChange || event->type() == QEvent::ReadOnlyChange ||
      event->type() == QEvent::EnabledChange)
    updateInnerGlow();
}
