#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>

class QLabel;
class QTimer;
class QVariantAnimation;
class QWidget;
class ZPHIndeterminateProgressIndicator;

// A small frameless window that says something is under way ("Sending…",
// with a spinner) or done (a success message that fades out by itself after
// 0.75 seconds), floating over the main window's upper half. It fades in
// over 0.2 seconds when it opens; a new message while it is shown only
// replaces the title and the image. The sharing commands use it. One per
// process, made on first use. Main thread.
class ZPHFeedbackProgressWindowController : public QObject {
  Q_OBJECT

public:
  static constexpr int FadeMs = 200;
  static constexpr int SuccessDelayMs = 750;
  static constexpr int CloseAfterFadeMs = 300;

  static ZPHFeedbackProgressWindowController* sharedController();
  static bool hasSharedController();

  static void runWindowWithTitle(const QString& title, const QImage& image = QImage());
  static void runWindowWithSuccessMessage(const QString& title, const QImage& image = QImage());
  static void closeSharedWindow();

  explicit ZPHFeedbackProgressWindowController(QObject* parent = nullptr);
  ~ZPHFeedbackProgressWindowController() override;

  bool isWindowLoaded() const { return m_window != nullptr; }
  QWidget* window();
  QString title() const { return m_title; }
  QImage image() const { return m_image; }
  bool showingSuccessMessage() const { return m_showingSuccessMessage; }
  bool isSpinning() const;
  void setShowingSuccessMessage(bool success) { m_showingSuccessMessage = success; }
  void setTitle(const QString& title) { m_title = title; }
  void setImage(const QImage& image) { m_image = image; }

  void showWindow();
  void fadeoutWindow();
  void closeWindow();
  // Over the main window (the application's window named "ZPHMainWindow",
  // else the active one): centred across, its top at the centre less two
  // and a half heights and 100 points, never above the main window's top.
  void centerWindowInFrontOfNewsreaderWindow();

private:
  void fadeTo(qreal opacity, int durationMs);

  QPointer<QWidget> m_window;
  QLabel* m_imageView = nullptr;
  QLabel* m_titleTextField = nullptr;
  ZPHIndeterminateProgressIndicator* m_progressIndicator = nullptr;
  QString m_title;
  QImage m_image;
  bool m_showingSuccessMessage = false;
  QTimer* m_fadeTimer = nullptr;
  QTimer* m_closeTimer = nullptr;
  QPointer<QVariantAnimation> m_fade;
};
