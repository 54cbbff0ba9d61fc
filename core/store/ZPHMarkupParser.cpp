#include "store/ZPHMarkupParser.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <limits>
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

}  // namespace

QString ZPHMarkupParser::stringFromMarkup(const QString& markup)
{
  const QByteArray bytes = markup.trimmed().toUtf8();
  if (bytes.size() > qsizetype(std::numeric_limits<int>::max()))
    return QString(QLatin1String(""));
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
