#include "articleview/CBHTMLBuilder.h"

#include "articleview/CBHTMLDataSource.h"
#include "articleview/ZPHHTMLEscaping.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QRandomGenerator>

#include <vector>

namespace {

// Where the security policy goes: just after the template's "<head>" start
// tag; -1 when it has none.
qsizetype headInsertionPoint(const QString& htmlTemplate)
{
  qsizetype at = 0;
  while ((at = htmlTemplate.indexOf(QLatin1String("<head"), at, Qt::CaseInsensitive)) >= 0) {
    const qsizetype next = at + 5;
    if (next < htmlTemplate.size() &&
        (htmlTemplate[next] == QLatin1Char('>') || htmlTemplate[next].isSpace() || htmlTemplate[next] == u'/')) {
      const qsizetype close = htmlTemplate.indexOf(QLatin1Char('>'), next);
      return close < 0 ? -1 : close + 1;
    }
    at = next;
  }
  return -1;
}

// The template's own style elements get the render's nonce.
QString withNoncedStyleElements(const QString& htmlTemplate, const QString& nonce)
{
  QString result = htmlTemplate;
  const QString attribute = QStringLiteral(" nonce=\"%1\"").arg(nonce);
  qsizetype at = 0;
  while ((at = result.indexOf(QLatin1String("<style"), at, Qt::CaseInsensitive)) >= 0) {
    const qsizetype next = at + 6;
    if (next < result.size() && (result[next] == QLatin1Char('>') || result[next].isSpace())) {
      result.insert(next, attribute);
      at = next + attribute.size();
    } else {
      at = next;
    }
  }
  return result;
}

QString securityPolicyElement(const QString& nonce)
{
  return QStringLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"%1\">")
      .arg(ZPHHTMLEscaping::escapedAttribute(CBHTMLBuilder::contentSecurityPolicy(nonce)));
}

// An address inside a CSS string: characters that could end the string, the
// rule or the element are percent-escaped.
QString cssStringSafe(const QString& address)
{
  QString result;
  for (const QChar c : address) {
    if (c == u'"' || c == u'\\' || c == u'<' || c == u'>' || c == u'\'' || c.unicode() < 0x20)
      result += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
    else
      result += c;
  }
  return result;
}

}  // namespace

CBHTMLBuilder::CBHTMLBuilder(std::shared_ptr<const CBHTMLDataSource> dataSource, const QString& htmlTemplate)
    : m_dataSource(std::move(dataSource)), m_htmlTemplate(htmlTemplate)
{
}

QString CBHTMLBuilder::defaultTemplate()
{
  return QStringLiteral(
      "<div class=\"newsItemContainer\">\n<div class=\"newsItemTitle\"><strong>[[newsitem_title]]</strong></div>\n"
      "<div class=\"newsItemDescription\">[[newsitem_description]]\n<p "
      "class=\"newsItemExtraLinks\">[[newsitem_extralinks]]</p>\n</div>\n<div "
      "class=\"newsItemDateLine\">[[newsitem_dateline]]</div>\n</div>");
}

QString CBHTMLBuilder::contentSecurityPolicy(const QString& nonce)
{
  return QStringLiteral(
             "default-src 'none'; script-src 'none'; style-src cbstylesheet: 'nonce-%1'; "
             "img-src http: https: cbfavicon: zph-image-cache: cbstylesheet:; media-src http: https:; "
             "font-src cbstylesheet:; base-uri 'none'; form-action 'none'")
      .arg(nonce);
}

QString CBHTMLBuilder::newNonce()
{
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof(words))
                                 .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString CBHTMLBuilder::buildHTMLUsingTemplate(const QString& htmlTemplate) const
{
  // From the end: the last closing "]]" or "}}" within the limit, then the
  // last opening mark of its kind before it; the text between is the key.
  // The limit then moves to the placeholder's start, so inserted values are
  // never scanned.
  std::vector<QString> reversedPieces;
  qsizetype limit = htmlTemplate.size();
  qsizetype literalEnd = limit;
  while (limit >= 2) {
    const qsizetype squareEnd = htmlTemplate.lastIndexOf(QLatin1String("]]"), limit - 2);
    const qsizetype braceEnd = htmlTemplate.lastIndexOf(QLatin1String("}}"), limit - 2);
    const bool square = squareEnd >= braceEnd;
    const qsizetype end = square ? squareEnd : braceEnd;
    if (end < 0)
      break;
    const qsizetype start =
        end >= 2 ? htmlTemplate.lastIndexOf(square ? QLatin1String("[[") : QLatin1String("{{"), end - 2) : -1;
    if (start < 0)
      break;
    const QString key = htmlTemplate.mid(start + 2, end - start - 2);
    QString value;
    if (square) {
      if (m_dataSource)
        value = m_dataSource->valueForPlaceholderKey(key);
    } else {
      const auto found = m_pageValues.constFind(key);
      value = found == m_pageValues.constEnd() ? htmlTemplate.mid(start, end + 2 - start)
                                               : ZPHHTMLEscaping::escapedAttribute(*found);
    }
    reversedPieces.push_back(htmlTemplate.mid(end + 2, literalEnd - end - 2));
    reversedPieces.push_back(value);
    literalEnd = start;
    limit = start;
  }
  QString result;
  qsizetype size = literalEnd;
  for (const QString& piece : reversedPieces) size += piece.size();
  result.reserve(size);
  result += QStringView(htmlTemplate).left(literalEnd);
  for (auto piece = reversedPieces.rbegin(); piece != reversedPieces.rend(); ++piece) result += *piece;
  return result;
}

QString CBHTMLBuilder::header(const QString& nonce) const
{
  QString header = QStringLiteral("<html><head>\n") + securityPolicyElement(nonce) +
                   QStringLiteral("\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n");
  if (!m_styleSheetPath.isEmpty()) {
    header += QStringLiteral("<style type=\"text/css\" media=\"screen\" nonce=\"%1\">@import \"").arg(nonce);
    header += cssStringSafe(m_styleSheetPath);
    header += QStringLiteral("\";</style>\n");
  }
  // The title element shows text only: the plain title, not the linked one.
  header += QStringLiteral("<title>[[newsitem_plaintitle]]</title>\n</head>\n<body id='detailViewBody'>\n");
  return header;
}

QString CBHTMLBuilder::renderedHTML()
{
  m_nonce = newNonce();
  const QString htmlTemplate =
      withNoncedStyleElements(m_htmlTemplate.isEmpty() ? defaultTemplate() : m_htmlTemplate, m_nonce);
  QString page;
  if (m_includeHTMLHeader) {
    page = buildHTMLUsingTemplate(header(m_nonce)) + buildHTMLUsingTemplate(htmlTemplate);
    if (m_includeHTMLFooter)
      page += QStringLiteral("\n\n</body></html>");
  } else if (const qsizetype at = headInsertionPoint(htmlTemplate); at >= 0) {
    QString withPolicy = htmlTemplate;
    withPolicy.insert(at, securityPolicyElement(m_nonce));
    page = buildHTMLUsingTemplate(withPolicy);
    if (m_includeHTMLFooter)
      page += QStringLiteral("\n\n</body></html>");
  } else {
    // A template without a head (a fragment) gets one: the policy only
    // counts inside the head.
    page = QStringLiteral("<!DOCTYPE html>\n<html><head>\n") + securityPolicyElement(m_nonce) +
           QStringLiteral("\n</head>\n<body id=\"detailViewBody\">\n") + buildHTMLUsingTemplate(htmlTemplate) +
           QStringLiteral("\n</body></html>");
  }
  m_renderedHTML = page;
  return page;
}

QString CBHTMLBuilder::searchHighlightScript() const
{
  if (m_searchHighlightTerm.isEmpty())
    return QStringLiteral("");
  QString elementID;
  if (m_includeSearchHighlightScript)
    elementID = QStringLiteral("detailViewBody");
  else if (m_includeAuthorSearchHighlightScript)
    elementID = QStringLiteral("author");
  else if (m_includeTitleSearchHighlightScript)
    elementID = QStringLiteral("title");
  else
    return QStringLiteral("");
  const QByteArray arguments =
      QJsonDocument(QJsonArray{elementID, QStringLiteral("highlightedtext"), m_searchHighlightTerm})
          .toJson(QJsonDocument::Compact);
  return QStringLiteral("doHighlight(") + QString::fromUtf8(arguments.mid(1, arguments.size() - 2)) +
         QStringLiteral(");");
}
