#include "shell/ZPHBrowserLauncher.h"

#include "common/ZPHShellLog.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "platform/ZPHError.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtCore/QUrlQuery>
#include <QtGui/QDesktopServices>

const QString ZPHBrowserLauncher::StatusItemIdentifier = QStringLiteral("com.fernhollow.zephlin.status.linkNotOpened");

namespace {

const char* const PatientProperty = "zph_patienceOver";

}  // namespace

ZPHBrowserLauncher::ZPHBrowserLauncher(const QString& opener, QObject* parent)
    : QObject(parent), m_opener(opener.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("xdg-open")) : opener)
{
}

ZPHBrowserLauncher::~ZPHBrowserLauncher()
{
  // An opener still running may be waiting for the browser it started; the
  // browser runs on without it.
  for (QProcess* process : findChildren<QProcess*>(QString(), Qt::FindDirectChildrenOnly)) {
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
      process->kill();
      process->waitForFinished(1000);
    }
  }
}

bool ZPHBrowserLauncher::openURL(const QUrl& url)
{
  if (!url.isValid() || url.isEmpty())
    return false;
  if (m_opener.isEmpty()) {
    if (!QDesktopServices::openUrl(url))
      return false;
    QTimer::singleShot(0, this, [this, url] { Q_EMIT opened(url); });
    return true;
  }

  auto* process = new QProcess(this);
  process->setProgram(m_opener);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  // What it starts takes nothing from us and writes nowhere we read, so it
  // outlives us unharmed.
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  auto* patience = new QTimer(process);
  patience->setSingleShot(true);
  patience->setInterval(Patience);
  // Still running: it started a program for the address (a browser it
  // waits for).
  connect(patience, &QTimer::timeout, this, [this, process, url] {
    process->setProperty(PatientProperty, true);
    Q_EMIT opened(url);
  });
  connect(process, &QProcess::finished, this, [this, process, patience, url](int code, QProcess::ExitStatus status) {
    patience->stop();
    process->deleteLater();
    if (process->property(PatientProperty).toBool())
      return;
    if (status == QProcess::NormalExit && code == 0) {
      Q_EMIT opened(url);
      return;
    }
    qCWarning(zphShell).noquote() << m_opener << "could not open" << url.toDisplayString(QUrl::RemoveUserInfo)
                                  << "(status" << code << ")";
    Q_EMIT failedToOpen(url);
  });
  connect(process, &QProcess::errorOccurred, this, [this, process, patience, url](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
      return;
    patience->stop();
    process->deleteLater();
    qCWarning(zphShell).noquote() << m_opener << "did not start:" << process->errorString();
    Q_EMIT failedToOpen(url);
  });
  process->start();
  patience->start();
  return true;
}

std::shared_ptr<ZPHStatusItem> ZPHBrowserLauncher::statusItemForURL(const QUrl& url)
{
  const QString address = url.toDisplayString(QUrl::RemovePassword);
  // The line names the site in a few words, short enough for the status
  // area under the source list; the error (and the line's tool tip) has
  // the whole address.
  const QString shortAddress = url.host().isEmpty() ? address : url.host();
  const bool mail = url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0;
  // A mail is named by its subject or recipient, not by its encoded
  // address; its line stays short enough for the status area.
  const QString recipient = url.path(QUrl::FullyDecoded).left(200);
  const QString subject = QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded).left(200);
  // A document of ours by its name.
  const bool document = url.isLocalFile();
  const QString fileName = url.fileName();
  const QString line = mail       ? tr("Can\u2019t open mail")
                       : document ? tr("Can\u2019t open %1").arg(fileName)
                                  : tr("Can\u2019t open %1").arg(shortAddress);
  QString description = tr("The mail message could not be opened.");
  if (document)
    description = tr("\u201c%1\u201d could not be opened.").arg(fileName);
  else if (!mail)
    description = tr("\u201c%1\u201d could not be opened.").arg(address);
  else if (!subject.isEmpty())
    description = tr("The mail message \u201c%1\u201d could not be opened.").arg(subject);
  else if (!recipient.isEmpty())
    description = tr("The mail message to %1 could not be opened.").arg(recipient);
  const ZPHError error(
      QStringLiteral("com.fernhollow.zephlin.ErrorDomain.linkOpening"), 1,
      {{ZPHLocalizedDescriptionKey, description},
       {ZPHLocalizedRecoverySuggestionKey,
        mail       ? tr("No mail program took the address. Install a mail program, or choose one as the default "
                              "mail program in the desktop\u2019s settings.")
        : document ? tr("No program of the desktop opens this kind of document. Install one, or choose one "
                        "for it in the desktop\u2019s settings.")
                   : tr("No web browser took the link. Install a web browser, or choose one as the default web "
                        "browser in the desktop\u2019s settings.")}});
  return ZPHStatusItem::statusItemWithLocalizedDescription(line, StatusItemIdentifier, error);
}
