#pragma once

// Qt kind: none (static functions).

#include <QtCore/QString>
#include <QtCore/QUrl>

// What becomes of an address typed into a browser tab's address field, and
// which addresses a tab loads at all, however they arrived (typed, dropped,
// restored, opened from a link).
//
// A typed address keeps its scheme when it has one: letters (then letters,
// digits, "+", "." or "-") and a colon that no port number follows, so
// "about:blank" and "HTTP://x" have one and "w:8080" has none. Without a
// scheme it gets "http://"; a bare word (no dot, slash or colon) other
// than "localhost" gets ".com" first. A host with a port ("w:8080",
// "127.0.0.1:8080") and "localhost" are hosts as typed.
class ZPHTypedAddress {
public:
  ZPHTypedAddress() = delete;

  // The address to load for what was typed; empty for blank text.
  static QString urlStringForTypedString(const QString& typed);
  // Whether the text starts with a scheme (see above).
  static bool hasScheme(const QString& text);

  enum class Use {
    Load,       // http, https, file and about:blank: the tab loads it
    Subscribe,  // a feed address: the subscribe flow takes it
    Refuse,     // anything else neither loads nor leaves
  };
  static Use useForURL(const QUrl& url);
  // The address a string makes, as the web view reads it: as written, else
  // with "^" and "~" escaped; invalid when neither makes one.
  static QUrl urlForString(const QString& string);
};
