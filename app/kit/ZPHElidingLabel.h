#pragma once

// Qt kind: QWidget (QLabel).

#include <QtWidgets/QLabel>

// A one-line label that shows its text as plain text, never as markup, and
// cuts it at the tail with an ellipsis when it is wider than the label. It
// asks for the text's width but makes do with much less, so a long text
// never widens a layout. A drop shadow (a colour and an offset) can be drawn
// under the text; with no shadow colour there is none. With word wrap on it
// is a plain-text QLabel of several lines and cuts nothing.
class ZPHElidingLabel : public QLabel {
  Q_OBJECT

public:
  explicit ZPHElidingLabel(QWidget* parent = nullptr);
  explicit ZPHElidingLabel(const QString& text, QWidget* parent = nullptr);

  QColor shadowColor() const { return m_shadowColor; }
  QPointF shadowOffset() const { return m_shadowOffset; }
  // An invalid colour draws no shadow.
  void setShadow(const QColor& color, const QPointF& offset);

  // The text as it fits the label's width now (the whole text when it fits).
  QString displayedText() const;
  bool isTruncated() const { return displayedText() != text(); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_shadowColor;
  QPointF m_shadowOffset;
};
