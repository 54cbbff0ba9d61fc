#pragma once

// Qt kind: none (functions).

#include "foundation/CBStringExtras.h"

#include <QtCore/QString>

class QClipboard;
class QMimeData;

// Links on the clipboard. Besides plain text and the URL list
// ("text/uri-list"), a link goes under the core's pasteboard types, used as
// format names: the link under URLCorePboardType, its title under
// URLNameCorePboardType, and both, as a JSON array of two arrays (the links,
// their titles), under WebURLsWithTitlesPboardType.

// The clipboard is the application's when none is given. Main thread.

// A null string writes nothing.
void CBCopyStringToPasteboard(const QString& string, QClipboard* clipboard = nullptr);
// An empty string writes nothing. The text goes as plain text and under
// URLCorePboardType, and, when it is a URL, as a URL too.
void CBCopyURLStringToPasteboard(const QString& urlString, QClipboard* clipboard = nullptr);
// An empty link writes nothing; an empty title writes the link alone
// (CBCopyURLStringToPasteboard). Otherwise the link and its title in all
// the formats above.
void CBCopyURLAndTitleToPasteboard(const QString& urlString, const QString& title, QClipboard* clipboard = nullptr);
// The link and its title in those formats (the link alone for an empty
// title), for a drag; the caller owns it.
QMimeData* CBMimeDataWithURLAndTitle(const QString& urlString, const QString& title);

// The clipboard's text, trimmed, when it is an http or https address with
// a host (with `allowFeedURLs`, a feed: address turned into its web
// address too); else null.
QString CBURLStringFromGeneralPasteboard(bool allowFeedURLs, QClipboard* clipboard = nullptr);

// Whether Alt (Option) and no other modifier is held now.
bool CBOptionKeyIsDown();
