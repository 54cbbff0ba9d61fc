#pragma once

// Qt kind: none (an interface: an abstract class).

#include <QtCore/QString>

class ZPHMacWebViewFindBarViewController;

// What the find bar asks of the view that hosts it (which knows the web
// view): every search, highlight and dismissal.
class ZPHMacWebViewFindBarViewDelegate {
public:
  virtual ~ZPHMacWebViewFindBarViewDelegate() = default;

  // Highlight every occurrence of the text (remove all highlights for empty
  // text) and report the count with setNumberOfMatches() (NotFound for empty
  // text).
  virtual void webViewFindBarControllerSearchFieldTextChanged(ZPHMacWebViewFindBarViewController* controller,
                                                              const QString& text) = 0;
  // Done was pressed: hide the bar and remove the highlights.
  virtual void webViewFindBarControllerRequestsDismissal(ZPHMacWebViewFindBarViewController* controller) = 0;
  // Select the previous (next) occurrence of the text.
  virtual void webViewFindBarControllerRequestsHighlightPrevious(ZPHMacWebViewFindBarViewController* controller,
                                                                 const QString& text) = 0;
  virtual void webViewFindBarControllerRequestsHighlightNext(ZPHMacWebViewFindBarViewController* controller,
                                                             const QString& text) = 0;
};
