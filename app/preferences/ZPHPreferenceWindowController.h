#pragma once

// Qt kind: QObject that owns widgets.

#include "preferences/FRNHPreferenceWindowController.h"

class ZPHPreferencesFontsViewController;
class ZPHPreferencesGeneralViewController;

// Zephlin's preferences window: the General and the Reading panes, titled
// "Preferences - <pane>". The application makes one when the preferences
// are opened and lets it go when its window closes. Main thread.
class ZPHPreferenceWindowController : public FRNHPreferenceWindowController {
  Q_OBJECT

public:
  explicit ZPHPreferenceWindowController(QObject* parent = nullptr);
  ~ZPHPreferenceWindowController() override;

  // Registers the defaults of the settings the panes show that no one else
  // registers: 2 preview lines, pictures in the list, plug-ins
  // ("WebKitPluginsEnabled") off. At start-up.
  static void registerDefaults();

  QList<FRNHPreferenceViewController*> preferenceViewControllers() const override;
  void selectItemAtIndex(int index) override;

  ZPHPreferencesGeneralViewController* generalViewController() const { return m_generalViewController; }
  ZPHPreferencesFontsViewController* fontsViewController() const { return m_fontsViewController; }

private:
  ZPHPreferencesGeneralViewController* m_generalViewController;
  ZPHPreferencesFontsViewController* m_fontsViewController;
};
