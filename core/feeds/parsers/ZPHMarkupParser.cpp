#include "feeds/parsers/ZPHMarkupParser.h"

#include "foundation/CBEntityDecoding.h"
#include "foundation/ZPHLibXML.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// Depth-first over the children of `parent` without recursion, so hostile
// nesting cannot exhaust the stack.
void appendTextBelow(xmlNodePtr parent, ZPHMarkupParserContext& context)
{
  std::vector<xmlNodePtr> pending;
  xmlNodePtr node = parent->children;
  while (node != nullptr || !pending.empty()) {
    if (node == nullptr) {
      node = pending.back()->next;
      pending.pop_back();
      continue;
    }
    if (node->type == XML_TEXT_NODE) {
      if (node->content != nullptr && node->content[0] != '\0')
        context.appendText(reinterpret_cast<const char*>(node->content));
    } else if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      pending.push_back(node);
      node = node->children;
      continue;
    }
    node = node->next;
  }
}

// Markup of the form "<html><body>TEXT</body></html>" (what a caller
// builds around text it stripped of tags) whose TEXT holds no markup, no
// reference and no character the parser drops: the parser's answer is TEXT
// itself, so the document need not be built. Anything else, nothing.
std::optional<QString> plainBodyText(QStringView trimmedMarkup)
{
  constexpr QStringView head = u"<html><body>";
  constexpr QStringView tail = u"</body></html>";
  if (trimmedMarkup.size() < head.size() + tail.size() || !trimmedMarkup.startsWith(head) ||
      !trimmedMarkup.endsWith(tail))
    return std::nullopt;
  const QStringView text = trimmedMarkup.mid(head.size(), trimmedMarkup.size() - head.size() - tail.size());
  const char16_t* const units = text.utf16();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = units[i];
    // Printable ASCII in one test.
    if (char16_t(c - 0x20) < 0x5F) {
      if (c == u'<' || c == u'&')
        return std::nullopt;
      continue;
    }
    if (c == u'\t' || c == u'\n')
      continue;
    // Controls, carriage returns, a byte-order mark and non-characters the
    // parser changes or drops.
    if (c < 0xA0 || c == 0xFEFF || c == 0xFFFE || c == 0xFFFF)
      return std::nullopt;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF)
      return std::nullopt;
  }
  return text.toString();
}

}  // namespace

QString ZPHMarkupParser::stringFromMarkup(const QString& markup)
{
  const QStringView trimmed = QStringView(markup).trimmed();
  if (std::optional<QString> text = plainBodyText(trimmed))
    return text->isNull() ? QString(QLatin1String("")) : *text;
  // The parser knows only HTML 4's names: the references are decoded first
  // with HTML's whole table, as everywhere else.
  const QByteArray bytes = CBMarkupWithDecodedEntities(trimmed.toString()).toUtf8();
  if (bytes.size() > qsizetype(std::numeric_limits<int>::max()))
    return QString(QLatin1String(""));
  // Markup is parsed on several threads at once: the library is set up once
  // before any of them parses.
  ZPHInitializeLibXML();
  // No network, no external entities (the HTML parser never substitutes
  // them: HTML_PARSE_NOENT is not given).
  const int options =
      HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_COMPACT;
  htmlDocPtr document = htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, "utf-8", options);
  if (document == nullptr)
    return QString(QLatin1String(""));

  ZPHMarkupParserContext context;
  xmlNodePtr root = xmlDocGetRootElement(document);
  for (xmlNodePtr child = root != nullptr ? root->children : nullptr; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && xmlStrcasecmp(child->name, BAD_CAST "body") == 0) {
      appendTextBelow(child, context);
      break;
    }
  }
  xmlFreeDoc(document);
  const QString text = context.text();
  return text.isNull() ? QString(QLatin1String("")) : text;
}
