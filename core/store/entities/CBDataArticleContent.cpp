#include "store/entities/CBDataArticleContent.h"

#include "foundation/CBEntityConversion.h"
#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "foundation/ZPHTextScan.h"
#include "store/entities/CBDataArticle.h"

#include <algorithm>
#include <climits>

namespace {

// The HTML without the contents of script and style elements (an element
// left open runs to the end). One pass, no backtracking.
QString withoutScriptsAndStyles(const QString& html)
{
  static const QLatin1String names[] = {QLatin1String("script"), QLatin1String("style")};
  QString result;
  qsizetype copied = 0;
  qsizetype at = html.indexOf(u'<');
  while (at >= 0 && at + 1 < html.size()) {
    const QLatin1String* matched = nullptr;
    for (const QLatin1String& name : names) {
      const QStringView candidate = QStringView(html).mid(at + 1, name.size());
      const qsizetype after = at + 1 + name.size();
      if (candidate.compare(name, Qt::CaseInsensitive) == 0 &&
          (after >= html.size() || html.at(after) == u'>' || html.at(after) == u'/' || html.at(after).isSpace())) {
        matched = &name;
        break;
      }
    }
    if (matched == nullptr) {
      at = html.indexOf(u'<', at + 1);
      continue;
    }
    if (result.isNull())
      result.reserve(html.size());
    result.append(QStringView(html).mid(copied, at - copied));
    const QString closing = QLatin1String("</") + *matched;
    const qsizetype close = html.indexOf(closing, at, Qt::CaseInsensitive);
    const qsizetype end = close < 0 ? -1 : html.indexOf(u'>', close);
    copied = end < 0 ? html.size() : end + 1;
    // A space where the element was, as a tag would leave.
    result.append(u' ');
    at = copied < html.size() ? html.indexOf(u'<', copied) : -1;
  }
  if (result.isNull())
    return html;
  result.append(QStringView(html).mid(copied));
  return result;
}

// Lower-case, decomposed text folded without diacritics (non-spacing marks
// dropped) and width (full- and half-width forms to their plain forms).
QString folded(const QString& decomposedLowerCase)
{
  const qsizetype n = decomposedLowerCase.size();
  const char16_t* const in = reinterpret_cast<const char16_t*>(decomposedLowerCase.constData());
  QString result(n, Qt::Uninitialized);
  qsizetype written = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = in[i];
    // ASCII has no marks and no width forms.
    if (u < 0x80) {
      reinterpret_cast<char16_t*>(result.data())[written++] = u;
      continue;
    }
    const QChar c(u);
    if (c.category() == QChar::Mark_NonSpacing)
      continue;
    const QChar::Decomposition tag = c.decompositionTag();
    if (tag == QChar::Wide || tag == QChar::Narrow) {
      const QString plain = c.decomposition();
      if (written + plain.size() > result.size())
        result.resize(written + plain.size() + (n - i - 1));
      for (const QChar p : plain) reinterpret_cast<char16_t*>(result.data())[written++] = p.unicode();
      continue;
    }
    reinterpret_cast<char16_t*>(result.data())[written++] = u;
  }
  result.truncate(written);
  return result;
}

}  // namespace

CBDataArticle* CBDataArticleContent::article() const
{
  return static_cast<CBDataArticle*>(relatedObject(entity()->indexOfProperty(QStringLiteral("article"))));
}

void CBDataArticleContent::setHtmlText(const QString& value)
{
  zph_setValueForKeyWithScrubbing(PropertyHtmlText, value, true);
  setNormalizedText(normalizedTextFromHtmlText(value));
}

void CBDataArticleContent::zph_setValueForKeyWithScrubbing(int index, const QString& value, bool scrubbing)
{
  setPrimitiveValue(index, scrubbing ? CobbletonExtras::zph_stringByReplacingSingularSurrogates(value) : value);
}

QString CBDataArticleContent::normalizedTextFromHtmlText(const QString& html)
{
  if (html.isNull())
    return QString();
  const QString decoded = cb_stringWithDecodedEntities(withoutScriptsAndStyles(html));
  const QString stripped = cb_stringWithStrippedHTML(decoded, int(qMin<qsizetype>(decoded.size(), INT_MAX)));
  return normalizedTextFromPlainText(stripped.isNull() ? QString(QLatin1String("")) : stripped);
}

QString CBDataArticleContent::normalizedTextFromPlainText(const QString& text)
{
  if (text.isNull())
    return QString();
  // The text in runs: ASCII runs fold to their lower case, the others go
  // through decomposition, lower case and the fold. The same as folding the
  // whole text: an ASCII character decomposes to itself and is a starter,
  // so no reordering of marks crosses it, and lower case and the fold go
  // character by character.
  const char16_t* at = reinterpret_cast<const char16_t*>(text.constData());
  const char16_t* const end = at + text.size();
  QString result(text.size(), Qt::Uninitialized);
  qsizetype written = 0;
  while (true) {
    const long copied =
        ZPHTextScan::copyASCIILowerCased(at, reinterpret_cast<char16_t*>(result.data()) + written, long(end - at));
    at += copied;
    written += copied;
    if (at == end)
      break;
    const char16_t* const ascii = ZPHTextScan::firstAtMost(at, end, 0x7F);
    const QString run =
        folded(QStringView(at, ascii - at).toString().normalized(QString::NormalizationForm_D).toLower());
    // A run may fold longer than it was (a syllable into its letters).
    if (written + run.size() + (end - ascii) > result.size())
      result.resize(written + run.size() + (end - ascii));
    std::copy(run.cbegin(), run.cend(), result.begin() + written);
    written += run.size();
    at = ascii;
  }
  result.truncate(written);
  return result;
}
