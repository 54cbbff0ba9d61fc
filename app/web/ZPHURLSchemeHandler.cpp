#include "web/ZPHURLSchemeHandler.h"

#include "common/ZPHWebLog.h"
#include "web/ZPHInternalSchemes.h"

#include <QtCore/QBuffer>
#include <QtWebEngineCore/QWebEngineUrlRequestJob>

ZPHURLSchemeHandler::ZPHURLSchemeHandler(Responder responder, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_responder(std::move(responder))
{
}

bool ZPHURLSchemeHandler::initiatorIsAllowed(const QUrl& initiator)
{
  if (initiator.isEmpty())
    return true;  // the application's own navigation
  return !initiator.scheme().isEmpty() && ZPHInternalSchemes::isInternalScheme(initiator.scheme());
}

void ZPHURLSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
  const QUrl url = job->requestUrl();
  if (job->requestMethod() != "GET" || !initiatorIsAllowed(job->initiator())) {
    ++m_refused;
    qCWarning(zphWeb) << "refused" << job->requestMethod() << url.toString(QUrl::RemoveQuery) << "started by"
                      << job->initiator().toString();
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  const ZPHImageCacheResponse response = m_responder ? m_responder(url) : ZPHImageCacheResponse{};
  if (!response.error.isNull() || response.data.isNull()) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  ++m_answered;
  auto* body = new QBuffer(job);
  body->setData(response.data);
  job->reply(response.mimeType.toUtf8(), body);
}
