#pragma once

// Qt kind: none (an interface: an abstract class).

// What the main window's Find, Find Next and Find Previous commands ask of
// the view that shows the current content (the article pane, a browser
// tab's content view).
class ZPHSearchUIProtocol {
public:
  virtual ~ZPHSearchUIProtocol() = default;

  virtual void showFindPanelAnimated(bool animated) = 0;
  virtual void hideFindPanelAnimated(bool animated) = 0;
  virtual void highlightPreviousSearchResult() = 0;
  virtual void highlightNextSearchResult() = 0;
};
