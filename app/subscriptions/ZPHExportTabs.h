#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

// The open tabs as a document the user saves: an OPML outline of links, an
// HTML list of links, or plain text with one tab a line. Each takes the tabs
// in order as {"url": address, "title": page title (may be missing)}; a tab
// without an address is left out. An empty list gives a null string.

// The text escaped for OPML and HTML: trimmed, "&", ">", "<" and '"' as
// references, every character above 127 as one "&#N;" per code point (N in
// decimal), and the characters XML 1.0 forbids dropped. The result is ASCII.
QString ZPHExportEscapedString(const QString& string);

// OPML 1.1: <outline text="title" type="link" url="address"/> per tab.
QString ZPHExportTabsAsOPML(const QList<QVariantMap>& tabs);
// HTML: <li><a href="address">title</a></li> per tab; the address with
// "&", "<", ">" and '"' escaped.
QString ZPHExportTabsAsHTML(const QList<QVariantMap>& tabs);
// Text: address, TAB, title, LF per tab; a TAB inside a field becomes four
// spaces and a line break one space, so each tab is one line of two fields.
QString ZPHExportTabsAsText(const QList<QVariantMap>& tabs);
