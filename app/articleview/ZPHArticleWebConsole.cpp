#include "articleview/ZPHArticleWebConsole.h"

#include "articleview/ZPHArticleDetailChecks.h"
#include "common/ZPHArticlesLog.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

namespace {

// The longest address a page may ask about.
constexpr int kMaximumURLLength = 8192;

}  // namespace

QString ZPHArticleWebConsole::channelName() { return QStringLiteral("ArticleWebConsole"); }

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
