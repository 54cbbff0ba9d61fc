#pragma once

// Qt kind: QObject that owns widgets.

#include "articleview/ZPHQLImagePreviewItem.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>

class QLabel;
class QNetworkAccessManager;
class QWidget;

// A small window that previews images, one at a time, the arrow keys (or
// its buttons) stepping through the list and Escape closing it. Images come
// from the loader the owner gives (caches), or, for a web address the
// loader has no bytes for, from the server. Titles are plain text.
//
// Main thread only.
class ZPHImagePreviewWindowController : public QObject {
  Q_OBJECT

public:
  // Answers the bytes it has for an address (empty: none).
  using Loader = std::function<QByteArray(const QUrl& url)>;

  static constexpr qint64 MaximumDownloadSize = 32 * 1024 * 1024;

  explicit ZPHImagePreviewWindowController(Loader loader, QObject* parent = nullptr);
  ~ZPHImagePreviewWindowController() override;

  QWidget* window();
  QList<ZPHQLImagePreviewItem> items() const { return m_items; }
  int currentIndex() const { return m_currentIndex; }

  // Shows the window with the items, at the chosen one.
  void showItems(const QList<ZPHQLImagePreviewItem>& items, int chosenIndex);
  void showNext();
  void showPrevious();
  void close();
  // The item's image is shown (it loaded and decoded).
  bool currentImageShown() const { return m_currentImageShown; }

Q_SIGNALS:
  void currentImageChanged();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void showCurrent();
  void showData(const QByteArray& data);

  Loader m_loader;
  QList<ZPHQLImagePreviewItem> m_items;
  int m_currentIndex = -1;
  bool m_currentImageShown = false;
  QPointer<QWidget> m_window;
  QLabel* m_imageLabel = nullptr;
  QLabel* m_titleLabel = nullptr;
  QNetworkAccessManager* m_network = nullptr;
  quint64 m_generation = 0;
};
