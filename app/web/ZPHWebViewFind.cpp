#include "web/ZPHWebViewFind.h"

#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtCore/QPointer>

std::function<void(int)> ZPHWebViewFind::countFor(ZPHMacWebViewFindBarViewController* bar, const QString& text)
{
  QPointer<ZPHWebViewFind> self(this);
  QPointer<ZPHMacWebViewFindBarViewController> target(bar);
  return [self, target, text](int matches) {
    if (self && target && self->m_lastText == text)
      target->setNumberOfMatches(matches);
  };
}

void ZPHWebViewFind::textChanged(ZPHMacWebView* view, ZPHMacWebViewFindBarViewController* bar, const QString& text)
{
  if (view == nullptr)
    return;
  m_lastText = text;
  if (text.isEmpty()) {
    view->removeAllHighlights();
    bar->setNumberOfMatches(ZPHMacWebViewFindBarViewController::NotFound);
    return;
  }
  view->highlightAllOccurencesOfString(text, countFor(bar, text));
}

void ZPHWebViewFind::search(ZPHMacWebView* view, ZPHMacWebViewFindBarViewController* bar, const QString& text,
                            bool forward)
{
  if (view == nullptr)
    return;
  m_lastText = text;
  view->searchFor(text, forward, false, true, countFor(bar, text));
}

void ZPHWebViewFind::dismiss(ZPHMacWebView* view)
{
  m_lastText.clear();
  if (view != nullptr)
    view->removeAllHighlightsAfterFindBarDismissal();
}
