#include "articlelist/ZPHArticleListSettings.h"

#include "platform/ZPHUserDefaults.h"

const QString ZPHNumberOfLinesInArticleListPreviewsKey = QStringLiteral("ZPHNumberOfLinesInArticleListPreviewsKey");
const QString ZPHShowPicturesInArticleListDefaultsKey = QStringLiteral("ZPHShowPicturesInArticleListDefaultsKey");
const QString ZPHContentLayoutMode = QStringLiteral("ZPHContentLayoutMode");
const QString ZPHSortArticlesOldestAtTopKey = QStringLiteral("sortArticlesOldestAtTop");
const QString ZPHArticleListPrefsDidChangeNotification = QStringLiteral("ZPHArticleListPrefsDidChangeKey");

void ZPHRegisterArticleListDefaults()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QVariantMap registered = defaults.registeredDefaults();
  QVariantMap missing;
  if (!registered.contains(ZPHNumberOfLinesInArticleListPreviewsKey))
    missing.insert(ZPHNumberOfLinesInArticleListPreviewsKey, 2);
  if (!registered.contains(ZPHShowPicturesInArticleListDefaultsKey))
    missing.insert(ZPHShowPicturesInArticleListDefaultsKey, true);
  if (!missing.isEmpty())
    defaults.registerDefaults(missing);
}
