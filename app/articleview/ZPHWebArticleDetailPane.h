#pragma once

// Qt kind: QObject that owns widgets.

#include "articleview/ZPHArticleDetailPane.h"
#include "articleview/ZPHArticleDetailPaneView.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QPointer>

#include <memory>

class QTimer;
class ZPHArticleDetailViewController;
class ZPHClock;
class ZPHInternalPagesProfile;
class ZPHStyleSheetController;
class ZPHUserDefaults;

// The article view of the reading layouts: the selected article as the
// rendered page (ZPHArticleDetailViewController) in the detail pane view
// (ZPHArticleDetailPaneView) with its find bar and the link status bar.
//
// The web view, and with it the web engine, is made with the first article
// loaded; until then the pane is empty. The page follows the interface
// theme's light or dark sub-theme. Its view (ZPHArticleDetailPaneView)
// answers the main window's Find, Find Next and Find Previous commands.
//
// The column width it reports is the one in em it last asked the page for
// (the style sheet controller's current width once an article loads): the
// page's own widths come back later, and only the width limits wait for
// them; they are measured again when the pane changes size. Main thread
// only.
class ZPHWebArticleDetailPane : public ZPHArticleDetailPane {
  Q_OBJECT

public:
  // How long the pane's size must settle before the page is measured.
  static constexpr int RemeasureDelay = 150;  // ms

  // The profile owner must outlive the pane. Null styles, defaults and
  // clock: the shared ones.
  explicit ZPHWebArticleDetailPane(ZPHInternalPagesProfile* profile, ZPHStyleSheetController* styles = nullptr,
                                   ZPHUserDefaults* defaults = nullptr, ZPHClock* clock = nullptr);
  ~ZPHWebArticleDetailPane() override;

  QWidget* view() override;
  ZPHMacWebView* webView() const override;
  void loadArticle(const LoadRequest& request) override;
  void stopLoading() override;
  void updateArticleFlaggedState() override;
  bool shouldAllowArticleWidthIncrease() const override;
  bool shouldAllowArticleWidthDecrease() const override;
  double articleWidth() const override { return m_width; }
  void setMarginWidth(double width) override;
  void invalidate() override;

  ZPHArticleDetailPaneView* paneView() const { return m_view; }
  // Null before the first article loads.
  ZPHArticleDetailViewController* detailViewController() const { return m_controller.get(); }
  // The article of the last load; null before one.
  CBDataArticle* shownArticle() const;
  int loads() const { return m_loads; }

Q_SIGNALS:
  // The page's column widths came back: the width limits may differ.
  void articleWidthsChanged();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  ZPHArticleDetailViewController* ensureController();
  void followInterfaceTheme();

  QPointer<ZPHInternalPagesProfile> m_profile;
  ZPHStyleSheetController* m_styles;
  ZPHUserDefaults* m_defaults;
  ZPHClock* m_clock;
  QPointer<ZPHArticleDetailPaneView> m_view;
  std::unique_ptr<ZPHArticleDetailViewController> m_controller;
  double m_width = 0;
  int m_loads = 0;
  QTimer* m_remeasureTimer = nullptr;
  ZPHObserverToken m_themeObserver;
};
