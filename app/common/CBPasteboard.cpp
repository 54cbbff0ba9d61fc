#include "common/CBPasteboard.h"

#include "common/ZPHIncomingAddress.h"
#include "foundation/CBString.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

namespace {

QClipboard* clipboardOrGeneral(QClipboard* clipboard)
{
  return clipboard != nullptr ? clipboard : QGuiApplication::clipboard();
}

// The link as text, under the link type and, when it is a URL, as a URL.
QMimeData* mimeDataWithURLString(const QString& urlString)
{
  auto* data = new QMimeData;
  const QUrl url(urlString, QUrl::StrictMode);
  if (url.isValid() && !url.scheme().isEmpty())
    data->setUrls({url});
  data->setData(URLCorePboardType, urlString.toUtf8());
  data->setText(urlString);
  return data;
}

}  // namespace

void CBCopyStringToPasteboard(const QString& string, QClipboard* clipboard)
{
  if (string.isNull())
    return;
  clipboardOrGeneral(clipboard)->setText(string);
}

void CBCopyURLStringToPasteboard(const QString& urlString, QClipboard* clipboard)
{
  if (urlString.isEmpty())
    return;
  clipboardOrGeneral(clipboard)->setMimeData(mimeDataWithURLString(urlString));
}

QMimeData* CBMimeDataWithURLAndTitle(const QString& urlString, const QString& title)
{
  QMimeData* data = mimeDataWithURLString(urlString);
  if (title.isEmpty())
    return data;
  const QJsonArray linksAndTitles{QJsonArray{urlString}, QJsonArray{title}};
  data->setData(WebURLsWithTitlesPboardType, QJsonDocument(linksAndTitles).toJson(QJsonDocument::Compact));
  data->setData(URLNameCorePboardType, title.toUtf8());
  return data;
}

void CBCopyURLAndTitleToPasteboard(const QString& urlString, const QString& title, QClipboard* clipboard)
{
  if (urlString.isEmpty())
    return;
  clipboardOrGeneral(clipboard)->setMimeData(CBMimeDataWithURLAndTitle(urlString, title));
}

QString CBURLStringFromGeneralPasteboard(bool allowFeedURLs, QClipboard* clipboard)
{
  QString text = clipboardOrGeneral(clipboard)->text().trimmed();
  if (text.size() > ZPHIncomingAddress::LongestAddress)
    return {};
  if (allowFeedURLs && CBURLIsFeedURL(text))
    text = CBURLWithFeedURL(text);
  if (!text.startsWith(QLatin1String("http"), Qt::CaseInsensitive) ||
      !ZPHIncomingAddress::isSubscribableURL(QUrl(text, QUrl::StrictMode)))
    return {};
  return text;
}

bool CBOptionKeyIsDown() { return (QGuiApplication::keyboardModifiers() & ~Qt::KeypadModifier) == Qt::AltModifier; }
