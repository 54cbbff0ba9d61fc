#include "sharing/ZPHSharingCommandEmailLink.h"

#include "common/ZPHAppServices.h"
#include "foundation/CBString.h"
#include "platform/ZPHError.h"
#include "sharing/CBPluginHelper.h"
#include "store/ZPHCoreDataStack.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringDecoder>

namespace {

// A template is a line or two; anything larger is not read.
constexpr qint64 LargestTemplate = 64 * 1024;

}  // namespace

ZPHSharingCommandEmailLink::ZPHSharingCommandEmailLink()
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("SendViaEmail"),
                            QCoreApplication::translate("ZPHSharingPluginSendViaEmail", "Mail Link"),
                            QCoreApplication::translate("ZPHSharingPluginSendViaEmail", "Mail Link"), Sharing,
                            QStringLiteral("toolbar_share_email"))
{
}

QString ZPHSharingCommandEmailLink::contentsOfEmailTemplateWithFolder(const QString& folder, const QString& filename)
{
  QFile file(QDir(folder).filePath(filename));
  if (!file.open(QIODevice::ReadOnly) || file.size() > LargestTemplate)
    return {};
  const QByteArray bytes = file.readAll();
  const std::optional<QStringConverter::Encoding> detected = QStringConverter::encodingForData(bytes);
  QStringDecoder decoder(detected.value_or(QStringConverter::Utf8));
  QString text = decoder.decode(bytes);
  if (decoder.hasError())
    return QString::fromLatin1(bytes);
  return text.isNull() ? QString(QLatin1String("")) : text;
}

QUrl ZPHSharingCommandEmailLink::emailMessageURL(const QString& title, const QString& titleTemplate, const QUrl& url,
                                                 const QString& bodyTemplate)
{
  QString subject = titleTemplate;
  subject.replace(QLatin1String("[[title]]"), title, Qt::CaseInsensitive);
  QString body = bodyTemplate;
  body.replace(QLatin1String("[[url]]"), QString::fromUtf8(url.toEncoded()), Qt::CaseInsensitive);
  return QUrl(CBStringMailToLinkWithTitleAndBody(subject, body));
}

bool ZPHSharingCommandEmailLink::openEmailMessageWithTitle(const QString& title, const QString& titleTemplate,
                                                           const QUrl& url, const QString& bodyTemplate)
{
  return ZPHAppServices::current().openLink(emailMessageURL(title, titleTemplate, url, bodyTemplate),
                                            ZPHAppServices::LinkPlace::MailProgram) !=
         ZPHAppServices::LinkOutcome::Refused;
}

bool ZPHSharingCommandEmailLink::performCommandWithArray(const QList<CBSharableItem>& items,
                                                         const CBUserInterfaceContext& context, CBPluginHelper* helper,
                                                         ZPHError* error)
{
  Q_UNUSED(context);
  if (items.isEmpty())
    return false;
  const CBSharableItem& item = items.first();
  const QUrl address = addressOfItem(item);
  QString title = item.title();
  if (title.isEmpty())
    title = QCoreApplication::translate("ZPHSharingPluginSendViaEmail", "A link from Zephlin");

  QString titleTemplate = QStringLiteral("[[title]]");
  QString bodyTemplate = QStringLiteral("[[url]]\n");
  const QString dataFolder = helper != nullptr ? helper->pathToDataFolder() : QString();
  if (!dataFolder.isEmpty()) {
    const QString folder = QDir(dataFolder).filePath(QStringLiteral("Templates"));
    if (!QFileInfo(folder).isDir() && !QDir(dataFolder).mkdir(QStringLiteral("Templates"))) {
      return ZPHSetError(error,
                         ZPHError(ZPHCocoaErrorDomain, 513,
                                  {{ZPHLocalizedDescriptionKey,
                                    QCoreApplication::translate("ZPHSharingPluginSendViaEmail",
                                                                "The folder for mail templates could not be made.")}}));
    }
    const QString customTitle = contentsOfEmailTemplateWithFolder(folder, QStringLiteral("EmailLinkTitleTemplate"));
    if (!customTitle.isNull())
      titleTemplate = customTitle;
    const QString customBody = contentsOfEmailTemplateWithFolder(folder, QStringLiteral("EmailLinkBodyTemplate"));
    if (!customBody.isNull())
      bodyTemplate = customBody;
  }
  return openEmailMessageWithTitle(title, titleTemplate, address, bodyTemplate);
}
