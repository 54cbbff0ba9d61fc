#include "articleview/ZPHArticleSchemeHandler.h"

#include <QtCore/QBuffer>
#include <QtCore/QRandomGenerator>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineCore/QWebEngineUrlRequestJob>
#include <QtWebEngineCore/QWebEngineUrlScheme>

#include "web/ZPHInternalSchemes.h"

QByteArray ZPHArticleSchemeHandler::scheme() { return QByteArrayLiteral("zph-article"); }

void ZPHArticleSchemeHandler::registerScheme()
{
  // Local like the internal schemes the page loads from (only local pages
  // may load local schemes), allowed to load them, and not secure; one of
  // the internal schemes, so that their handlers answer the page's requests.
  ZPHInternalSchemes::registerInternalScheme(scheme(), true);
}

ZPHArticleSchemeHandler* ZPHArticleSchemeHandler::installOnProfile(QWebEngineProfile* profile)
{
  QWebEngineSettings* settings = profile->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  auto* handler = new ZPHArticleSchemeHandler(profile);
  profile->installUrlSchemeHandler(scheme(), handler);
  return handler;
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
