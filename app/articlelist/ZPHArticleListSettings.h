#pragma once

// Qt kind: none (settings keys and notification names).

#include <QtCore/QString>

// The settings the article list reads, and its notice of a change.

// Integer: lines of preview text in the standard layout (1-3; the
// preferences window registers 2).
extern const QString ZPHNumberOfLinesInArticleListPreviewsKey;  // "ZPHNumberOfLinesInArticleListPreviewsKey"
// Boolean: thumbnails in the standard layout (registered: true).
extern const QString ZPHShowPicturesInArticleListDefaultsKey;  // "ZPHShowPicturesInArticleListDefaultsKey"
// Integer: 1 the classic layout, anything else (or nothing) the standard one.
extern const QString ZPHContentLayoutMode;  // "ZPHContentLayoutMode"
// Boolean: oldest articles at the top.
extern const QString ZPHSortArticlesOldestAtTopKey;  // "sortArticlesOldestAtTop"
// Posted (no object) when how the list shows its rows changed (preview
// lines, pictures): the list reloads, keeping its selection.
extern const QString ZPHArticleListPrefsDidChangeNotification;  // "ZPHArticleListPrefsDidChangeKey"
