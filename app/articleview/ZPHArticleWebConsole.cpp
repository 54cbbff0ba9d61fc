#include "articleview/ZPHArticleWebConsole.h"

#include "articleview/ZPHArticleDetailChecks.h"
#include "common/ZPHArticlesLog.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <cstring>

namespace {

// The longest address a page may ask about.
constexpr int kMaximumURLLength = 8192;

}  // namespace

namespace {

void callThroughTheGadget(QObject* object, QMetaObject::Call call, int id, void** arguments)
{
  if (call != QMetaObject::InvokeMetaMethod)
    return;
  // The gadget's own dispatch (as for any gadget, given its address in
  // place of an object's), on a gadget that forwards to this console.
  ZPHArticleWebConsoleCalls calls(static_cast<ZPHArticleWebConsole*>(object));
  ZPHArticleWebConsoleCalls::staticMetaObject.d.static_metacall(reinterpret_cast<QObject*>(&calls), call, id,
                                                                arguments);
}

// The gadget's meta-object (the five calls, no superclass) with a dispatch
// that takes the console itself: what the channel publishes and invokes.
// Built the way moc builds one, from the gadget's generated tables.
const QMetaObject& consoleMetaObject()
{
  static const QMetaObject meta = {{
      nullptr,
      ZPHArticleWebConsoleCalls::staticMetaObject.d.stringdata,
      ZPHArticleWebConsoleCalls::staticMetaObject.d.data,
      callThroughTheGadget,
      nullptr,
      ZPHArticleWebConsoleCalls::staticMetaObject.d.metaTypes,
      nullptr,
  }};
  return meta;
}

}  // namespace

QString ZPHArticleWebConsole::channelName() { return QStringLiteral("ArticleWebConsole"); }

const QMetaObject* ZPHArticleWebConsole::metaObject() const { return &consoleMetaObject(); }

void* ZPHArticleWebConsole::qt_metacast(const char* className)
{
  if (className != nullptr && std::strcmp(className, "ZPHArticleWebConsole") == 0)
    return this;
  return QObject::qt_metacast(className);
}

int ZPHArticleWebConsole::qt_metacall(QMetaObject::Call call, int id, void** arguments)
{
  if (call != QMetaObject::InvokeMetaMethod || id < 0)
    return id;
  const int count = consoleMetaObject().methodCount();
  if (id >= count)
    return id - count;
  callThroughTheGadget(this, call, id, arguments);
  return -1;
}

ZPHArticleWebConsole::ZPHArticleWebConsole(Handlers handlers, QObject* parent)
    : QObject(parent), m_handlers(std::move(handlers))
{
}

void ZPHArticleWebConsole::refuse(const char* call, const QJsonValue& value)
{
  ++m_refusedCallCount;
  const QByteArray shown = QJsonDocument(QJsonObject{{QStringLiteral("value"), value}}).toJson(QJsonDocument::Compact);
  qCWarning(zphArticles) << "the article page's call" << call << "was refused:" << shown.left(120);
}

void ZPHArticleWebConsole::toggleFlaggedForSelectedArticle()
{
  ++m_callCount;
  if (m_handlers.toggleFlagged)
    m_handlers.toggleFlagged();
}

void ZPHArticleWebConsole::toggleImageLayout(const QJsonValue& value)
{
  ++m_callCount;
  const std::optional<int> layout = ZPHArticleDetailChecks::imageLayoutValue(value.toVariant());
  if (!layout) {
    refuse("toggleImageLayout", value);
    return;
  }
  if (m_handlers.setImageLayout)
    m_handlers.setImageLayout(*layout);
}

void ZPHArticleWebConsole::shareSelectedArticleFromClientXClientYElementWidthElementHeight(const QJsonValue& x,
                                                                                           const QJsonValue& y,
                                                                                           const QJsonValue& width,
                                                                                           const QJsonValue& height)
{
  ++m_callCount;
  if (!x.isDouble() || !y.isDouble() || !width.isDouble() || !height.isDouble()) {
    refuse("shareSelectedArticle", QJsonArray{x, y, width, height});
    return;
  }
  const QSizeF viewSize = m_handlers.viewSize ? m_handlers.viewSize() : QSizeF();
  const std::optional<QRectF> rect =
      ZPHArticleDetailChecks::shareRectangle(x.toDouble(), y.toDouble(), width.toDouble(), height.toDouble(), viewSize);
  if (!rect) {
    refuse("shareSelectedArticle", QJsonArray{x, y, width, height});
    return;
  }
  if (m_handlers.share)
    m_handlers.share(*rect);
}

void ZPHArticleWebConsole::webViewReady()
{
  ++m_callCount;
  if (m_handlers.webViewReady)
    m_handlers.webViewReady();
}

QString ZPHArticleWebConsole::publicURLForImageCachedURL(const QJsonValue& url)
{
  ++m_callCount;
  if (!url.isString() || url.toString().size() > kMaximumURLLength) {
    refuse("publicURLForImageCachedURL", url.isString() ? QJsonValue(url.toString().left(80)) : url);
    return QStringLiteral("");
  }
  if (!m_handlers.publicURLForImageCachedURL)
    return QStringLiteral("");
  return m_handlers.publicURLForImageCachedURL(url.toString());
}
