#pragma once

// Qt kind: QObject.

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QString>

class QTimer;
class QWidget;

// Keeps a window's place, size and maximised state in the user's settings
// (ZPHUserDefaults): restore() gives them back before the window shows, and
// they are stored half a second after the user has moved, resized,
// maximised or restored the window, and when this object goes.
//
// The place is the window's frame position (its title bar included) and the
// size its content size, both of the window in its normal state; while it is
// maximised or full screen only that state is stored. A stored frame comes
// back on a screen that exists: on the screen it overlaps most (the primary
// screen when it overlaps none), shrunk to fit that screen's free area and
// moved inside it, with room for a title bar. With nothing stored the window
// keeps its own size where the primary screen has room for it, else as much
// as there is, and the desktop places it.
//
// Main thread only.
class ZPHWindowAutosave : public QObject {
  Q_OBJECT

public:
  static constexpr int SaveDelay = 500;  // ms
  // The room left above the content for the desktop's title bar (its
  // height is known only once the window shows).
  static constexpr int TitleBarAllowance = 40;

  // `window` is watched, not owned. `frameKey` holds the normal frame (a
  // QRect), `maximizedKey` whether the window was maximised.
  ZPHWindowAutosave(QWidget* window, const QString& frameKey, const QString& maximizedKey, QObject* parent = nullptr);
  ~ZPHWindowAutosave() override;

  // The stored frame, on a screen that exists, and the maximised state
  // (true); else the window's size bounded by the screen (false).
  bool restore();
  // Stores the window's frame and state now; nothing before it has shown.
  void save();

  // `frame` on the screen it overlaps most of `screens` (free areas, the
  // primary first), else on the first: shrunk to fit it, but not below
  // `minimum`, and moved inside it. Unchanged when there is no screen or the
  // frame is empty.
  static QRect frameOnScreens(const QRect& frame, const QList<QRect>& screens, const QSize& minimum = QSize());
  // The free areas of the screens there are, the primary first.
  static QList<QRect> availableScreenAreas();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPointer<QWidget> m_window;
  QString m_frameKey;
  QString m_maximizedKey;
  QTimer* m_saveTimer = nullptr;
  bool m_shown = false;
};
