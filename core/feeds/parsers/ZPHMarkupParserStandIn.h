#pragma once

// Stand-in for the HTML-to-text reader of the article objects while those
// are being written: the same class operation over libxml2's HTML parser
// (recover, no errors or warnings, no network, compact): the text nodes
// below the body element, joined without separators. Replace the include of
// this header with the real one once that is in place.

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <libxml/HTMLparser.h>

// Kept in a namespace of its own so that it never clashes with the real
// class at link time.
namespace zph_markup_stand_in {

class ZPHMarkupParser {
public:
  static QString stringFromMarkup(const QString& markup)
  {
    const QByteArray bytes = markup.trimmed().toUtf8();
    htmlDocPtr document = htmlReadMemory(
        bytes.constData(), int(bytes.size()), nullptr, "utf-8",
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_COMPACT);
    if (document == nullptr)
      return QString(QLatin1String(""));
    QByteArray text;
    xmlNodePtr root = xmlDocGetRootElement(document);
    xmlNodePtr body = nullptr;
    for (xmlNodePtr child = root ? root->children : nullptr; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE && xmlStrcasecmp(child->name, BAD_CAST "body") == 0) {
        body = child;
        break;
      }
    }
    if (body != nullptr)
      appendText(body->children, text, 0);
    xmlFreeDoc(document);
    return QString::fromUtf8(text);
  }

private:
  static void appendText(xmlNodePtr node, QByteArray& text, int depth)
  {
    if (depth > 256)
      return;
    for (; node != nullptr; node = node->next) {
      if (node->type == XML_TEXT_NODE && node->content != nullptr)
        text.append(reinterpret_cast<const char*>(node->content));
      else if (node->type == XML_ELEMENT_NODE)
        appendText(node->children, text, depth + 1);
    }
  }
};

}  // namespace zph_markup_stand_in

using zph_markup_stand_in::ZPHMarkupParser;
