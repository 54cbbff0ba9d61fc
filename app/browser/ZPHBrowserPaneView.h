#pragma once

// Qt kind: QWidget.

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

class QVariantAnimation;

// The main window's content pane with the tabs column beside it: the
// content (the article layout or a browser tab's view) fills what the
// column leaves. The column slides in from the right edge and out again in
// 0.1 seconds (or at once); a change asked for while it slides does
// nothing. Reports the column's width on screen (0 while hidden) whenever
// it changes.
class ZPHBrowserPaneView : public QWidget {
  Q_OBJECT

public:
  static constexpr int SlideDuration = 100;  // ms

  explicit ZPHBrowserPaneView(QWidget* parent = nullptr);
  ~ZPHBrowserPaneView() override;

  QWidget* contentView() const { return m_content; }
  void setContentView(QWidget* content);
  QWidget* tabsColumn() const { return m_tabs; }
  // The column (its fixed width is its width).
  void setTabsColumn(QWidget* tabs, int width);

  bool tabsShown() const { return m_tabsShown; }
  bool animating() const;
  // Shows or hides the column; false (nothing done) while it slides.
  bool setTabsShown(bool shown, bool animate);
  // The column's width within the pane now.
  int visibleTabsWidth() const;

Q_SIGNALS:
  void tabsWidthChanged(int width);
  // A slide has ended.
  void animationFinished();

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void layOut(qreal shownFraction);

  QPointer<QWidget> m_content;
  QPointer<QWidget> m_tabs;
  int m_tabsWidth = 0;
  bool m_tabsShown = false;
  qreal m_fraction = 0;
  QPointer<QVariantAnimation> m_animation;
  int m_reportedWidth = -1;
};
