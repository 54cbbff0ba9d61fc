#include "subscriptions/ZPHAddSitesSubscriptionErrorViewController.h"

#include "feeds/network/CBDownloadOperation.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscribe/ZPHURLAdditions.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QStyle>
#include <QtWidgets/QVBoxLayout>

namespace {

QPointer<QDialog> g_currentSheet;

QString replacePlaceholders(QString text, const QString& name)
{
  text.replace(ZPHFeedFinderFeedNameUncapitalizedPlaceholder, name);
  text.replace(ZPHFeedFinderFeedNameCaptializedPlaceholder, name);
  return text;
}

bool isOfflineBelow(const ZPHError& error)
{
  const ZPHError underlying = error.value(ZPHUnderlyingErrorKey).value<ZPHError>();
  if (underlying.isNull())
    return false;
  const ZPHError cause = underlying.value(ZPHUnderlyingErrorKey).value<ZPHError>();
  return cause.domain() == ZPHURLErrorDomain && cause.code() == ZPHURLErrorNotConnectedToInternet;
}

}  // namespace

QString ZPHAddSitesSubscriptionErrorViewController::stringToShowForSubscribeRequest(const ZPHSubscribeRequest& request)
{
  if (!request.title().isEmpty())
    return request.title();
  QString address = zph_userPresentableStringFromURL(request.feedURL());
  if (address.isEmpty())
    address = request.feedURL().toString(QUrl::RemoveUserInfo);
  return address.isEmpty() ? tr("Unnamed Site") : address;
}

QString ZPHAddSitesSubscriptionErrorViewController::localizedTemplatedErrorForTemplateString(
    const QString& templateString, const ZPHSubscribeRequest& request, const QString& stringToShow)
{
  Q_ASSERT_X(!templateString.isEmpty(), Q_FUNC_INFO, "a template");
  return replacePlaceholders(templateString,
                             stringToShow.isNull() ? stringToShowForSubscribeRequest(request) : stringToShow);
}

QString ZPHAddSitesSubscriptionErrorViewController::templatedLocalizedRecoverySuggestionStringForError(
    const ZPHError& error)
{
  const QString suggestion = error.localizedRecoverySuggestion();
  if (isOfflineBelow(error))
    return tr("%1 could not be added. %2").arg(ZPHFeedFinderFeedNameCaptializedPlaceholder, suggestion);
  return suggestion;
}

std::pair<QString, QString> ZPHAddSitesSubscriptionErrorViewController::singleAlertTexts(
    const ZPHFeedSubscriptionResult& result)
{
  const ZPHError error = result.error();
  Q_ASSERT_X(!error.isNull(), Q_FUNC_INFO, "ZPHFeedSubscriptionResult has no error");
  const std::shared_ptr<ZPHSubscribeRequest> request = result.subscribeRequest();
  const QString name = request != nullptr ? stringToShowForSubscribeRequest(*request) : tr("Unnamed Site");
  QString description = error.value(ZPHLocalizedDescriptionKey).toString();
  if (description.isEmpty())
    description = tr("There was a problem adding %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder);
  const QString suggestion = templatedLocalizedRecoverySuggestionStringForError(error);
  return {replacePlaceholders(description, tr("a site")), replacePlaceholders(suggestion, name)};
}

QString ZPHAddSitesSubscriptionErrorViewController::errorRowRichText(const ZPHFeedSubscriptionResult& result)
{
  const std::shared_ptr<ZPHSubscribeRequest> request = result.subscribeRequest();
  const QString name = request != nullptr ? stringToShowForSubscribeRequest(*request) : tr("Unnamed Site");
  QString suggestion = templatedLocalizedRecoverySuggestionStringForError(result.error());
  if (suggestion.isEmpty())
    suggestion = result.error().localizedDescription();
  // The text and the name escaped apart, the name put in where the
  // placeholders were.
  const QString nameHTML = QStringLiteral("<span style=\"color:#000000\">%1</span>").arg(name.toHtmlEscaped());
  QString html = suggestion.toHtmlEscaped();
  html.replace(ZPHFeedFinderFeedNameUncapitalizedPlaceholder, nameHTML);
  html.replace(ZPHFeedFinderFeedNameCaptializedPlaceholder, nameHTML);
  return QStringLiteral("<span style=\"color:#808080\">%1</span>").arg(html);
}

QDialog* ZPHAddSitesSubscriptionErrorViewController::currentSheet() { return g_currentSheet; }

void ZPHAddSitesSubscriptionErrorViewController::presentSubscriptionErrorsForSubscribeResults(
    const ZPHFeedSubscriptionResults& results, QWidget* window, std::function<void()> completion)
{
  if (results.isEmpty())
    return;
  Q_ASSERT_X(window != nullptr, Q_FUNC_INFO, "a window");
  QDialog* sheet = nullptr;
  if (results.size() == 1) {
    const auto [description, suggestion] = singleAlertTexts(*results.first());
    auto* box = new QMessageBox(window);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(description);
    box->setInformativeText(suggestion);
    box->setStandardButtons(QMessageBox::Ok);
    sheet = box;
  } else {
    auto* dialog = new QDialog(window);
    auto* layout = new QVBoxLayout(dialog);
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(dialog);
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    header->addWidget(icon);
    auto* texts = new QVBoxLayout;
    auto* message = new QLabel(tr("There were problems adding some sites."), dialog);
    message->setTextFormat(Qt::PlainText);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto* informative = new QLabel(tr("The sites listed below could not be added."), dialog);
    informative->setTextFormat(Qt::PlainText);
    texts->addWidget(message);
    texts->addWidget(informative);
    header->addLayout(texts, 1);
    layout->addLayout(header);

    auto* list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("errorList"));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    int widest = 0;
    int rowHeight = 0;
    for (const std::shared_ptr<ZPHFeedSubscriptionResult>& result : results) {
      Q_ASSERT_X(result != nullptr && !result->error().isNull(), Q_FUNC_INFO,
                 "Unexpected subscribe result with no error");
      if (result == nullptr)
        continue;
      auto* row = new QLabel(errorRowRichText(*result));
      row->setTextFormat(Qt::RichText);
      row->setContentsMargins(6, 3, 6, 3);
      auto* item = new QListWidgetItem(list);
      item->setSizeHint(row->sizeHint());
      list->setItemWidget(item, row);
      widest = std::max(widest, row->sizeHint().width());
      rowHeight = std::max(rowHeight, row->sizeHint().height());
    }
    const int rows = int(std::min<qsizetype>(results.size(), MaximumVisibleRows));
    list->setFixedHeight(rows * rowHeight + 2 * list->frameWidth() + 2);
    list->setMinimumWidth(std::min(MaximumWidth, widest + 2 * list->frameWidth() + 24));
    list->setVerticalScrollBarPolicy(results.size() > MaximumVisibleRows ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    sheet = dialog;
  }
  sheet->setObjectName(QStringLiteral("subscriptionErrors"));
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  sheet->setWindowModality(Qt::WindowModal);
  QObject::connect(sheet, &QDialog::finished, sheet, [completion = std::move(completion)] {
    if (completion)
      completion();
  });
  g_currentSheet = sheet;
  sheet->open();
}
