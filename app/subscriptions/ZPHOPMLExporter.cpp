#include "subscriptions/ZPHOPMLExporter.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/tree/CBTreeNode.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLocale>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>
#include <QtCore/QThreadPool>
#include <QtCore/QUrl>

namespace {

QString untitled() { return QCoreApplication::translate("ZPHOPMLExporter", "Untitled"); }

bool isCharacterXMLAllows(char32_t c)
{
  if (c == 0x9 || c == 0xA || c == 0xD)
    return true;
  if (c < 0x20)
    return false;
  if (c >= 0xD800 && c <= 0xDFFF)
    return false;
  return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

void collectOutlines(const CBTreeNode* node, QSet<const void*>* written, QList<ZPHOPMLOutline>* into)
{
  for (const CBTreeNode::Pointer& child : node->children()) {
    if (child == nullptr || !child->hasRepresentedObject())
      continue;
    const void* identity = child->representedIdentity();
    if (written->contains(identity))
      continue;
    ZPHOPMLOutline outline;
    outline.name = child->title();
    CBNode* stored = child->representedNode();
    if (stored != nullptr && !stored->isFolder()) {
      const auto* feed = static_cast<const CBFeed*>(stored);
      outline.feedURL = feed->URL().toString(QUrl::FullyEncoded);
      const QUrl homePage = feed->homePageURL();
      if (!homePage.isEmpty())
        outline.homePageURL = homePage.toString(QUrl::FullyEncoded);
    } else {
      outline.isFolder = true;
      collectOutlines(child.get(), written, &outline.children);
    }
    written->insert(identity);
    into->append(std::move(outline));
  }
}

void appendOutline(const ZPHOPMLOutline& outline, int level, QString* text)
{
  const QString indent(level, QLatin1Char('\t'));
  QString name = ZPHOPMLExporter::cleanedValue(outline.name);
  if (name.isEmpty())
    name = untitled();
  *text += indent;
  *text += QLatin1String("<outline text=\"");
  *text += name;
  *text += QLatin1String("\" title=\"");
  *text += name;
  if (outline.isFolder) {
    *text += QLatin1String("\">\n");
    for (const ZPHOPMLOutline& child : outline.children) appendOutline(child, level + 1, text);
    *text += indent;
    *text += QLatin1String("</outline>\n");
    return;
  }
  *text += QLatin1String("\" type=\"rss\" version=\"RSS\" ");
  const QString homePage = ZPHOPMLExporter::cleanedValue(outline.homePageURL);
  if (!homePage.isEmpty()) {
    *text += QLatin1String("htmlUrl=\"");
    *text += homePage;
    *text += QLatin1String("\" ");
  }
  *text += QLatin1String("xmlUrl=\"");
  *text += ZPHOPMLExporter::cleanedValue(outline.feedURL);
  *text += QLatin1String("\"/>\n");
}

}  // namespace

QString ZPHOPMLExporter::withoutCharactersXMLForbids(const QString& text)
{
  QString result;
  result.reserve(text.size());
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
      result += c;
      result += text.at(++i);
      continue;
    }
    if (isCharacterXMLAllows(c.unicode()))
      result += c;
  }
  return result;
}

QString ZPHOPMLExporter::cleanedValue(const QString& value)
{
  if (value.isNull())
    return {};
  const QString trimmed = withoutCharactersXMLForbids(value).trimmed();
  QString result;
  result.reserve(trimmed.size() + 16);
  for (const QChar c : trimmed) {
    switch (c.unicode()) {
      case '&':
        result += QLatin1String("&amp;");
        break;
      case '<':
        result += QLatin1String("&lt;");
        break;
      case '>':
        result += QLatin1String("&gt;");
        break;
      case '"':
        result += QLatin1String("&quot;");
        break;
      case '\t':
        result += QLatin1String("&#9;");
        break;
      case '\n':
        result += QLatin1String("&#10;");
        break;
      case '\r':
        result += QLatin1String("&#13;");
        break;
      default:
        result += c;
    }
  }
  return result;
}

QList<ZPHOPMLOutline> ZPHOPMLExporter::outlinesForAccounts(const QList<CBDataAccount*>& accounts)
{
  ZPH_ASSERT_MAIN_THREAD();
  QList<ZPHOPMLOutline> outlines;
  QSet<const void*> written;
  if (accounts.size() == 1) {
    if (accounts.first() != nullptr && accounts.first()->accountTreeNode() != nullptr)
      collectOutlines(accounts.first()->accountTreeNode().get(), &written, &outlines);
    return outlines;
  }
  for (CBDataAccount* account : accounts) {
    if (account == nullptr || account->accountTreeNode() == nullptr || written.contains(account))
      continue;
    ZPHOPMLOutline outline;
    outline.isFolder = true;
    outline.name = account->nameForDisplay();
    collectOutlines(account->accountTreeNode().get(), &written, &outline.children);
    written.insert(account);
    outlines.append(std::move(outline));
  }
  return outlines;
}

QString ZPHOPMLExporter::documentForOutlines(const QList<ZPHOPMLOutline>& outlines)
{
  QString text = QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- OPML generated by Zephlin -->\n"
      "<opml version=\"1.1\">\n"
      "\t<head>\n"
      "\t\t<title>mySubscriptions</title>\n"
      "\t\t</head>\n"
      "\t<body>\n");
  for (const ZPHOPMLOutline& outline : outlines) appendOutline(outline, 0, &text);
  text += QLatin1String("\t</body>\n</opml>\n");
  return text;
}

void ZPHOPMLExporter::runExportWithCompletionHandler(const QList<CBDataAccount*>& accounts, DataHandler handler)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (accounts.isEmpty() || delegate == nullptr || delegate->dataController() == nullptr) {
    if (handler)
      handler({});
    return;
  }
  delegate->addMainThreadCoreDataQueueBlock([accounts, handler] {
    const QList<ZPHOPMLOutline> outlines = outlinesForAccounts(accounts);
    QThreadPool::globalInstance()->start([outlines, handler] {
      const QByteArray data = documentDataForOutlines(outlines);
      ZPHMainThread::async([handler, data] {
        if (handler)
          handler(data);
      });
    });
  });
}

bool ZPHOPMLExporter::writeData(const QByteArray& data, const QString& path, QString* reason)
{
  QSaveFile file(path);
  // Unbuffered: a write the disk takes only in part (a full disk, a size
  // limit) is told at once, and the next one says why.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    if (reason != nullptr)
      *reason = file.errorString();
    return false;
  }
  for (qsizetype written = 0; written < data.size();) {
    const qint64 wrote = file.write(data.constData() + written, data.size() - written);
    if (wrote <= 0) {
      if (reason != nullptr)
        *reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                       : QStringLiteral("The file could not be written whole.");
      file.cancelWriting();
      return false;
    }
    written += wrote;
  }
  if (!file.commit()) {
    if (reason != nullptr)
      *reason = file.errorString();
    return false;
  }
  return true;
}

void ZPHOPMLExporter::exportAccountsToFile(const QList<CBDataAccount*>& accounts, const QString& path,
                                           bool ignoringTermination, WriteHandler written)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (accounts.isEmpty() || delegate == nullptr || delegate->dataController() == nullptr) {
    if (written)
      written(false, QStringLiteral("There is nothing to export."));
    return;
  }
  // The answer comes once, also when the store queue drops the block.
  struct Answer {
    WriteHandler written;
    bool answered = false;
    void give(bool ok, const QString& reason)
    {
      answered = true;
      ZPHMainThread::async([handler = written, ok, reason] {
        if (handler)
          handler(ok, reason);
      });
    }
    ~Answer()
    {
      if (!answered)
        give(false, QStringLiteral("The subscription list could not be read."));
    }
  };
  auto answer = std::make_shared<Answer>();
  answer->written = std::move(written);
  auto block = [accounts, path, answer] {
    const QList<ZPHOPMLOutline> outlines = outlinesForAccounts(accounts);
    QThreadPool::globalInstance()->start([outlines, path, answer] {
      QString reason;
      const bool ok = writeData(documentDataForOutlines(outlines), path, &reason);
      answer->give(ok, reason);
    });
  };
  if (ignoringTermination)
    delegate->addMainThreadCoreDataQueueBlockIgnoringTermination(std::move(block));
  else
    delegate->addMainThreadCoreDataQueueBlock(std::move(block));
}

QString ZPHOPMLExporter::fileNameForDate(const QString& prefix, const QDateTime& date)
{
  const QLocale locale;
  return QStringLiteral("%1 %2 at %3.opml")
      .arg(prefix, date.toString(QStringLiteral("yyyy-MM-dd")),
           locale.toString(date.time(), QStringLiteral("h.mm.ss AP")));
}
