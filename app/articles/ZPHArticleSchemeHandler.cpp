#include "articles/ZPHArticleSchemeHandler.h"

#include <QtCore/QBuffer>
#include <QtCore/QRandomGenerator>
#include <QtWebEngineCore/QWebEngineUrlRequestJob>
#include <QtWebEngineCore/QWebEngineUrlScheme>

QByteArray ZPHArticleSchemeHandler::scheme() { return QByteArrayLiteral("zph-article"); }

void ZPHArticleSchemeHandler::registerScheme()
{
  QWebEngineUrlScheme articleScheme(scheme());
  articleScheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  articleScheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
  articleScheme.setFlags({});
  QWebEngineUrlScheme::registerScheme(articleScheme);
}

ZPHArticleSchemeHandler::ZPHArticleSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

QUrl ZPHArticleSchemeHandler::setCurrentPage(const QString& html)
{
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  const QByteArray renderID = QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex();
  m_page = html.toUtf8();
  m_pageURL = QUrl(QString::fromLatin1(scheme() + "://" + renderID + "/"));
  return m_pageURL;
}

void ZPHArticleSchemeHandler::clearCurrentPage()
{
  m_page.clear();
  m_pageURL.clear();
}

void ZPHArticleSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
  if (job->requestMethod() != "GET") {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  const QUrl url = job->requestUrl().adjusted(QUrl::RemoveFragment);
  if (m_pageURL.isEmpty() || url != m_pageURL) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* buffer = new QBuffer(job);
  buffer->setData(m_page);
  buffer->open(QIODevice::ReadOnly);
  job->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
}
