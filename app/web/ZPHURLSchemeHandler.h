#pragma once

// Qt kind: URL scheme handler (QWebEngineUrlSchemeHandler).

#include "feeds/images/ZPHImageCacheProtocol.h"

#include <QtCore/QUrl>
#include <QtWebEngineCore/QWebEngineUrlSchemeHandler>

#include <atomic>
#include <functional>

// Answers the requests of one internal scheme with one of the core
// library's URL protocols (their answer is a ZPHImageCacheResponse).
//
// Only GET requests that the application itself starts (no initiator) or
// that pages of an internal scheme start are answered; a request started by
// any other origin, a web page above all, is refused before the protocol
// is asked.
class ZPHURLSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

public:
  using Responder = std::function<ZPHImageCacheResponse(const QUrl& url)>;

  explicit ZPHURLSchemeHandler(Responder responder, QObject* parent = nullptr);

  void requestStarted(QWebEngineUrlRequestJob* job) override;

  static bool initiatorIsAllowed(const QUrl& initiator);

  // What the handler did (for the log and tests).
  int answeredRequestCount() const { return m_answered.load(); }
  int refusedRequestCount() const { return m_refused.load(); }

private:
  Responder m_responder;
  std::atomic<int> m_answered{0};
  std::atomic<int> m_refused{0};
};
