#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <memory>

class ZPHStatusItem;

// Hands addresses to the desktop's programs (the web browser, the mail
// program) and tells when that did not work, also when the desktop's opener
// only finds out after it has started.
//
// With an opener program (xdg-open on the PATH, as the desktop services use
// it) the address goes to it as its one argument, and its end is watched: it
// ends with a status other than 0 when the desktop has no program for the
// address. One that has not ended after `Patience` has started a program
// for it and is left to run. Without an opener program, QDesktopServices
// decides at once.
//
// Main thread only.
class ZPHBrowserLauncher : public QObject {
  Q_OBJECT

public:
  static constexpr int Patience = 2000;  // ms
  // The status item that tells the user.
  static const QString StatusItemIdentifier;  // "com.fernhollow.zephlin.status.linkNotOpened"

  // `opener`: the program to run with the address; empty: xdg-open on the
  // PATH when there is one.
  explicit ZPHBrowserLauncher(const QString& opener = QString(), QObject* parent = nullptr);
  ~ZPHBrowserLauncher() override;

  QString opener() const { return m_opener; }

  // Hands the address over; false when that failed at once. What came of
  // it comes later, as opened() or failedToOpen().
  bool openURL(const QUrl& url);

  // What the status area shows when an address did not open: an error item
  // whose error (shown when its button is clicked) has the whole address.
  static std::shared_ptr<ZPHStatusItem> statusItemForURL(const QUrl& url);

Q_SIGNALS:
  // A program of the desktop took the address.
  void opened(const QUrl& url);
  // The desktop had no program for the address, or it failed.
  void failedToOpen(const QUrl& url);

private:
  QString m_opener;
};
