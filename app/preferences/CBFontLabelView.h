#pragma once

// Qt kind: QWidget.

#include <QtGui/QFont>
#include <QtWidgets/QWidget>

#include <optional>

// A sample of a chosen font in a rounded light box: the font's family and
// its size in points, drawn in the font itself (at 13 points when it is
// larger, so the box keeps its height while the text still names the real
// size).
class CBFontLabelView : public QWidget {
  Q_OBJECT

public:
  static constexpr qreal LargestSampleSize = 13;

  explicit CBFontLabelView(QWidget* parent = nullptr);

  std::optional<QFont> chosenFont() const { return m_chosenFont; }
  void setChosenFont(const std::optional<QFont>& font);

  // "Georgia 24": the family and the whole points.
  static QString sampleTextForFont(const QFont& font);
  // The font the sample is drawn in.
  static QFont sampleFontForFont(const QFont& font);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::optional<QFont> m_chosenFont;
};
