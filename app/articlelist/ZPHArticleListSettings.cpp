#include "articlelist/ZPHArticleListSettings.h"

const QString ZPHNumberOfLinesInArticleListPreviewsKey = QStringLiteral("ZPHNumberOfLinesInArticleListPreviewsKey");
const QString ZPHShowPicturesInArticleListDefaultsKey = QStringLiteral("ZPHShowPicturesInArticleListDefaultsKey");
const QString ZPHContentLayoutMode = QStringLiteral("ZPHContentLayoutMode");
const QString ZPHSortArticlesOldestAtTopKey = QStringLiteral("sortArticlesOldestAtTop");
const QString ZPHArticleListPrefsDidChangeNotification = QStringLiteral("ZPHArticleListPrefsDidChangeKey");
