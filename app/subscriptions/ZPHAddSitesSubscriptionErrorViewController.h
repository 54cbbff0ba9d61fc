#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"
#include "subscribe/ZPHFeedSubscriptionResult.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>

#include <functional>

class QDialog;
class QWidget;
class ZPHSubscribeRequest;

// Shows why sites could not be added, as one sheet on a window: a standard
// error alert for one failure, an alert listing the failed sites for
// several (at most 7 rows tall; more scroll). The site-name placeholders of
// the finder's and the subscriber's texts are replaced by the site's name,
// which is always shown as text (escaped in the list's rich text). Without
// a connection the row says "<site> could not be added." and why.
//
// Main thread.
class ZPHAddSitesSubscriptionErrorViewController : public QObject {
  Q_OBJECT
public:
  static constexpr int MaximumVisibleRows = 7;
  static constexpr int MaximumWidth = 700;

  // Nothing for an empty list (the handler is not called); else the sheet,
  // and `completion` once it is closed, however.
  static void presentSubscriptionErrorsForSubscribeResults(const ZPHFeedSubscriptionResults& results, QWidget* window,
                                                           std::function<void()> completion);

  // The name shown for a request: its title, else its address without
  // "http://" or "https://", else the localized "Unnamed Site".
  static QString stringToShowForSubscribeRequest(const ZPHSubscribeRequest& request);
  // The template with both placeholders replaced (by `stringToShow`, or the
  // request's name when that is null).
  static QString localizedTemplatedErrorForTemplateString(const QString& templateString,
                                                          const ZPHSubscribeRequest& request,
                                                          const QString& stringToShow = QString());
  // The error's recovery suggestion; offline (NSURLErrorDomain -1009 below
  // its underlying error), "<placeholder> could not be added. <suggestion>".
  static QString templatedLocalizedRecoverySuggestionStringForError(const ZPHError& error);
  // The single alert's texts: the description (placeholders: "a site") and
  // the suggestion (placeholders: the site's name).
  static std::pair<QString, QString> singleAlertTexts(const ZPHFeedSubscriptionResult& result);
  // One row of the list as rich text: the suggestion in grey, the name in
  // black, everything escaped.
  static QString errorRowRichText(const ZPHFeedSubscriptionResult& result);

  // The sheet on show (tests); null when none.
  static QDialog* currentSheet();

private:
  explicit ZPHAddSitesSubscriptionErrorViewController(QObject* parent = nullptr) : QObject(parent) {}
};
