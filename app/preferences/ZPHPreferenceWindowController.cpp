#include "preferences/ZPHPreferenceWindowController.h"

#include "articlelist/ZPHArticleListSettings.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/ZPHPreferencesFontsViewController.h"
#include "preferences/ZPHPreferencesGeneralViewController.h"

#include <QtWidgets/QMainWindow>

ZPHPreferenceWindowController::ZPHPreferenceWindowController(QObject* parent)
    : FRNHPreferenceWindowController(parent),
      m_generalViewController(new ZPHPreferencesGeneralViewController(this)),
      m_fontsViewController(new ZPHPreferencesFontsViewController(nullptr, {}, this))
{
}

ZPHPreferenceWindowController::~ZPHPreferenceWindowController() = default;

void ZPHPreferenceWindowController::registerDefaults()
{
  ZPHUserDefaults::standardUserDefaults().registerDefaults({
      {ZPHNumberOfLinesInArticleListPreviewsKey, 2},
      {ZPHShowPicturesInArticleListDefaultsKey, true},
      {QStringLiteral("WebKitPluginsEnabled"), false},
  });
}

QList<FRNHPreferenceViewController*> ZPHPreferenceWindowController::preferenceViewControllers() const
{
  return {m_generalViewController, m_fontsViewController};
}

void ZPHPreferenceWindowController::selectItemAtIndex(int index)
{
  FRNHPreferenceWindowController::selectItemAtIndex(index);
  const QList<FRNHPreferenceViewController*> panes = preferenceViewControllers();
  if (index >= 0 && index < panes.size())
    window()->setWindowTitle(tr("Preferences - %1").arg(panes.at(index)->title()));
}
