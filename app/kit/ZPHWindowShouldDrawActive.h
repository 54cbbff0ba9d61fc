#pragma once

// Qt kind: none (settings keys and notification names).

#include <QtCore/QString>

class QWidget;

// Posted by a window that tracks its active look (object: the window, a
// QWidget*) whenever the answer of zph_windowShouldDrawActive() changes.
extern const QString ZPHActiveTrackingWindowShouldDrawActiveChangedNotification;
// "ZPHActiveTrackingWindowShouldDrawActiveChangedNotification"

// Whether views in the widget's window draw their active look. A window
// that tracks it answers through its property "zph_windowShouldDrawActive";
// any other window always draws active.
bool zph_windowShouldDrawActive(const QWidget* widget);
