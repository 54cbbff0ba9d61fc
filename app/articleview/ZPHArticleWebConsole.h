#pragma once

// Qt kind: QObject.

#include <QtCore/QJsonValue>
#include <QtCore/QMetaObject>
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
// The channel offers the page every member of the object's meta-object,
// and a QObject's would bring QObject's own (objectName to write,
// deleteLater, destroyed): this object's meta-object is that of
// ZPHArticleWebConsoleCalls, which has the five calls and nothing else.
//
// Main thread (the channel calls on the thread of the object).
class ZPHArticleWebConsole : public QObject {
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

  void toggleFlaggedForSelectedArticle();
  void toggleImageLayout(const QJsonValue& value);
  void shareSelectedArticleFromClientXClientYElementWidthElementHeight(const QJsonValue& x, const QJsonValue& y,
                                                                       const QJsonValue& width,
                                                                       const QJsonValue& height);
  void webViewReady();
  QString publicURLForImageCachedURL(const QJsonValue& url);

  // The five calls' meta-object, without QObject's members.
  const QMetaObject* metaObject() const override;
  void* qt_metacast(const char* className) override;
  int qt_metacall(QMetaObject::Call call, int id, void** arguments) override;

private:
  void refuse(const char* call, const QJsonValue& value);

  Handlers m_handlers;
  int m_callCount = 0;
  int m_refusedCallCount = 0;
};

// The five calls as a gadget: its meta-object lists them and only them.
// Each forwards to the console it was made for.
class ZPHArticleWebConsoleCalls {
  Q_GADGET

public:
  explicit ZPHArticleWebConsoleCalls(ZPHArticleWebConsole* console) : m_console(console) {}

  Q_INVOKABLE void toggleFlaggedForSelectedArticle() { m_console->toggleFlaggedForSelectedArticle(); }
  Q_INVOKABLE void toggleImageLayout(const QJsonValue& value) { m_console->toggleImageLayout(value); }
  Q_INVOKABLE void shareSelectedArticleFromClientXClientYElementWidthElementHeight(const QJsonValue& x,
                                                                                   const QJsonValue& y,
                                                                                   const QJsonValue& width,
                                                                                   const QJsonValue& height)
  {
    m_console->shareSelectedArticleFromClientXClientYElementWidthElementHeight(x, y, width, height);
  }
  Q_INVOKABLE void webViewReady() { m_console->webViewReady(); }
  Q_INVOKABLE QString publicURLForImageCachedURL(const QJsonValue& url)
  {
    return m_console->publicURLForImageCachedURL(url);
  }

private:
  ZPHArticleWebConsole* m_console;
};
