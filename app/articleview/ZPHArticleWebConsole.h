#pragma once

// Qt kind: QObject.

#include <QtCore/QJsonValue>
#include <QtCore/QObject>
#include <QtCore/QRectF>
#include <QtCore/QSizeF>
#include <QtCore/QString>

#include <functional>

// The object the article page's own script reaches the application through:
// "ArticleWebConsole" on the page's web channel, which only the
// application's script world sees. Its five calls are all it offers, and
// each checks what it is given before the article view acts on it (see
// ZPHArticleDetailChecks): anything a page could send is taken for hostile.
//
//   toggleFlaggedForSelectedArticle()
//   toggleImageLayout(value)                     0 or 1 (false or true)
//   shareSelectedArticleFromClientXClientYElementWidthElementHeight(x, y, w, h)
//                                                finite numbers; the rectangle
//                                                is clamped to the view
//   webViewReady()
//   publicURLForImageCachedURL(url)              a string; "" for anything
//                                                but a cached image of the
//                                                shown article
//
// Main thread (the channel calls on the thread of the object).
class ZPHArticleWebConsole : public QObject {
  Q_OBJECT

public:
  // What the calls do once their arguments passed. Missing handlers do
  // nothing (answer "").
  struct Handlers {
    std::function<void()> toggleFlagged;
    std::function<void(int layout)> setImageLayout;
    std::function<QSizeF()> viewSize;
    std::function<void(const QRectF& rect)> share;
    std::function<void()> webViewReady;
    std::function<QString(const QString& cachedURL)> publicURLForImageCachedURL;
  };

  // "ArticleWebConsole".
  static QString channelName();

  explicit ZPHArticleWebConsole(Handlers handlers, QObject* parent = nullptr);

  // Calls that arrived, and those refused for their arguments.
  int callCount() const { return m_callCount; }
  int refusedCallCount() const { return m_refusedCallCount; }

public Q_SLOTS:
  void toggleFlaggedForSelectedArticle();
  void toggleImageLayout(const QJsonValue& value);
  void shareSelectedArticleFromClientXClientYElementWidthElementHeight(const QJsonValue& x, const QJsonValue& y,
                                                                       const QJsonValue& width,
                                                                       const QJsonValue& height);
  void webViewReady();
  QString publicURLForImageCachedURL(const QJsonValue& url);

private:
  void refuse(const char* call, const QJsonValue& value);

  Handlers m_handlers;
  int m_callCount = 0;
  int m_refusedCallCount = 0;
};
