#include "subscribe/ESJSONOperation.h"

#include "store/ZPHCoreDataStack.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonParseError>

namespace {

QVariant parseJSON(ESHTTPOperation& operation, ZPHError* error)
{
  const QByteArray body = operation.responseBody();
  if (body.isEmpty())
    return {};
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    if (error != nullptr)
      *error = ZPHError(ZPHCocoaErrorDomain, ESJSONOperation::JSONReadingError,
                        {{ZPHLocalizedDescriptionKey, QStringLiteral("The data couldn't be read: %1 at offset %2.")
                                                          .arg(parseError.errorString())
                                                          .arg(parseError.offset)}});
    return {};
  }
  return document.toVariant();
}

}  // namespace

std::shared_ptr<ESJSONOperation> ESJSONOperation::newJSONOperationWithRequest(const ESURLRequest& request,
                                                                              SuccessBlock success,
                                                                              FailureBlock failure)
{
  auto operation = std::make_shared<ESJSONOperation>(
      request.request, &parseJSON,
      [success = std::move(success), failure = std::move(failure)](const std::shared_ptr<ESHTTPOperation>& finished) {
        const auto self = std::static_pointer_cast<ESJSONOperation>(finished);
        if (!self->error().isNull()) {
          if (failure)
            failure(self);
        } else if (success) {
          success(self, self->processedResponse());
        }
      });
  operation->setHTTPMethod(request.httpMethod);
  operation->setHTTPBody(request.httpBody);
  return operation;
}

QSet<QString> ESJSONOperation::defaultAcceptableContentTypes()
{
  return {QStringLiteral("application/json"), QStringLiteral("application/x-javascript"),
          QStringLiteral("text/javascript"),  QStringLiteral("text/x-javascript"),
          QStringLiteral("text/x-json"),      QStringLiteral("text/json"),
          QStringLiteral("text/plain")};
}

ESJSONOperation::ESJSONOperation(const QNetworkRequest& request, WorkBlock work, CompletionBlock completion)
    : ESHTTPOperation(request, std::move(work), std::move(completion))
{
  setAcceptableContentTypes(defaultAcceptableContentTypes());
}
