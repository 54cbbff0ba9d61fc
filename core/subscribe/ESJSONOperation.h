#pragma once

#include "subscribe/ESHTTPOperation.h"

#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <functional>
#include <memory>

// An HTTP operation whose answer is JSON: its work parses a non-empty body
// (an object or an array, as QVariantMap or QVariantList) into the
// processed response, and its completion calls the failure block when the
// operation failed (a transfer, status, type or parse error) and the success
// block otherwise. An empty body succeeds with a null response. Only the
// JSON content types of defaultAcceptableContentTypes() are accepted.
class ESJSONOperation : public ESHTTPOperation {
public:
  using SuccessBlock = std::function<void(const std::shared_ptr<ESJSONOperation>& operation, const QVariant& json)>;
  using FailureBlock = std::function<void(const std::shared_ptr<ESJSONOperation>& operation)>;

  // Code of the parse error, in ZPHCocoaErrorDomain.
  static constexpr qint64 JSONReadingError = 3840;

  static std::shared_ptr<ESJSONOperation> newJSONOperationWithRequest(const ESURLRequest& request, SuccessBlock success,
                                                                      FailureBlock failure = {});
  // "application/json", "application/x-javascript", "text/javascript",
  // "text/x-javascript", "text/x-json", "text/json", "text/plain".
  static QSet<QString> defaultAcceptableContentTypes();

  ESJSONOperation(const QNetworkRequest& request, WorkBlock work, CompletionBlock completion);
};
