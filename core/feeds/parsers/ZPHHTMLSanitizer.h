#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>

// Article HTML made safe to show in a page of our own: libxml2's HTML parser
// reads it, an allow-list decides what stays, and the output is written by
// us, every text and attribute value escaped.
//
// - Kept: text, and the elements and attributes of a plain document
//   (paragraphs, headings, lists, tables, quotes, inline markup, links,
//   images, figures, audio and video). Comments never appear.
// - Dropped with their content: script, style, iframe and frames, object,
//   embed, applet, forms and their controls, svg, math, meta, link, base,
//   head, title, noscript, template, canvas. Other elements the list does
//   not know are dropped but keep their content.
// - Attributes not on the list go, among them every on*, style, class,
//   srcset and target.
// - id and name get the prefix idPrefix() (unless they have it already), so
//   article text can never name an element of the page around it; links to
//   "#x" become links to "#<prefix>x" and stay in the page.
// - Other URLs are resolved against the base URL (QUrl::resolved) and written
//   as encoded (QUrl::toEncoded), so the page sees the address that was
//   checked. href keeps http, https and mailto; src, poster and cite keep
//   http and https. Anything else loses the attribute; an img or source
//   without a usable src goes.
//
// Sanitising twice gives the same as once (for the same base URL, without an
// image mapper). Time and memory are bounded on any input: the input is cut
// after MaximumInputBytes of UTF-8, a start tag keeps at most
// MaximumAttributesPerTag attributes, nesting stops at libxml2's depth limit
// and the output stops growing (its open elements closed) at a budget
// proportional to the input.
//
// Pure and thread-safe: any thread may call it.
class ZPHHTMLSanitizer {
public:
  ZPHHTMLSanitizer() = delete;

  static constexpr qsizetype MaximumInputBytes = 8 * 1024 * 1024;
  static constexpr int MaximumAttributesPerTag = 64;
  // Longer URLs lose their attribute.
  static constexpr qsizetype MaximumURLLength = 16 * 1024;

  // Maps the resolved http(s) address of an image to the address the page
  // should load it from (e.g. a cached copy); an empty answer keeps the
  // address.
  using ImageSourceMapper = std::function<QUrl(const QUrl& imageURL)>;

  struct Options {
    QUrl baseURL;
    ImageSourceMapper imageSourceMapper;
  };

  // "zph-".
  static QString idPrefix();

  // Never null; "" for empty or fully dropped input.
  static QString sanitizedHTML(const QString& html, const QUrl& baseURL);
  static QString sanitizedHTML(const QString& html, const Options& options);

  // What an image's src gets by the rule above (resolved, http or https with
  // a host, encoded; the mapper's address when it gives one), for a picture
  // a page of ours shows beside article text; null when it may not be shown.
  // Not escaped.
  static QString imageSource(const QString& address, const Options& options);
};
