#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

#include <functional>

class ZPHWelcomeParallaxView;

// The welcome window: a fixed-size window over a two-layer background
// (ZPHWelcomeParallaxView) that slides left with every step. Its close
// button asks its controller first (shouldClose) and tells it when the
// window closes (willClose).
class ZPHWelcomeWindow : public QWidget {
  Q_OBJECT

public:
  static constexpr int Width = 600;
  static constexpr int Height = 400;

  explicit ZPHWelcomeWindow(QWidget* parent = nullptr);

  void setShouldCloseHandler(std::function<bool()> handler) { m_shouldClose = std::move(handler); }
  ZPHWelcomeParallaxView* farParallaxView() const { return m_far; }
  ZPHWelcomeParallaxView* nearParallaxView() const { return m_near; }
  // Where the steps' views go.
  QWidget* stateContainerView() const { return m_stateContainer; }

Q_SIGNALS:
  void willClose();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  std::function<bool()> m_shouldClose;
  ZPHWelcomeParallaxView* m_far;
  ZPHWelcomeParallaxView* m_near;
  QWidget* m_stateContainer;
};

// One layer of the welcome window's background, wider than the window:
// far soft circles or near hills, drawn in code.
class ZPHWelcomeParallaxView : public QWidget {
  Q_OBJECT

public:
  enum class Layer { Far, Near };
  ZPHWelcomeParallaxView(Layer layer, QWidget* parent);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  Layer m_layer;
};
