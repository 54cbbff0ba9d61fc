#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "web/ZPHMacWebViewFindBarView.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtGui/QColor>

#include <limits>

class QLabel;
class ZPHFindBarSearchField;
class ZPHMacWebViewFindBarDoneButton;
class ZPHMacWebViewFindBarSegmentedControl;
class ZPHMacWebViewFindBarViewDelegate;

// The find bar that slides in above a web view: a search field, a
// previous/next control, the number of matches and a Done button. It
// searches nothing itself: every search, highlight and dismissal goes to
// its delegate (the view that hosts it), which reports the number of
// matches back with setNumberOfMatches(). The host places, shows and hides
// the bar's view.
//
// What the user types becomes searchString() and runs a search; text put
// into the field by the program does not.
//
// Main thread only.
class ZPHMacWebViewFindBarViewController : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString numberOfMatchesString READ numberOfMatchesString NOTIFY numberOfMatchesChanged)
  Q_PROPERTY(bool hasMatches READ hasMatches NOTIFY numberOfMatchesChanged)
  Q_PROPERTY(QColor numberOfMatchesColor READ numberOfMatchesColor NOTIFY numberOfMatchesColorChanged)

public:
  // No count to show.
  static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();

  explicit ZPHMacWebViewFindBarViewController(QObject* parent = nullptr);
  ~ZPHMacWebViewFindBarViewController() override;

  // The bar, made on first use; the host takes it into its view tree.
  ZPHMacWebViewFindBarView* view();
  bool isViewLoaded() const { return m_view != nullptr; }

  ZPHMacWebViewFindBarViewDelegate* delegate() const { return m_delegate; }
  // Not owned; null sends nothing.
  void setDelegate(ZPHMacWebViewFindBarViewDelegate* delegate) { m_delegate = delegate; }

  ZPHFindBarSearchField* searchField();
  ZPHMacWebViewFindBarDoneButton* doneButton();
  QLabel* matchesTextField();
  ZPHMacWebViewFindBarSegmentedControl* backForwardSegmentedControl();

  qint64 numberOfMatches() const { return m_numberOfMatches; }
  void setNumberOfMatches(qint64 count);
  // "" (none or unknown), "Not found", "1 match", "%ld matches".
  QString numberOfMatchesString() const;
  static QString numberOfMatchesStringForCount(qint64 count);
  QColor numberOfMatchesColor() const;
  bool hasMatches() const;

  QString searchString() const { return m_searchString; }
  // Stores the text and runs the search; an empty text also clears the
  // count.
  void setSearchString(const QString& string);

  // The count cleared and the field emptied.
  void resetState();
  // Puts the text (null: "") into the field and searches for it.
  void triggerSearchFor(const QString& string);
  void makeSearchFieldFirstResponder();
  void highlightPreviousSearchResult();
  void highlightNextSearchResult();
  // Asks the delegate to search for the text.
  void performSearch(const QString& string);

  // The previous/next control was clicked (0 previous, any other next).
  void navigateMatchesAction(int segment);
  // Focus leaves the field, which empties; the highlights go; the delegate
  // is asked to dismiss the bar.
  void doneAction();

Q_SIGNALS:
  void numberOfMatchesChanged();
  void numberOfMatchesColorChanged();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void loadView();
  void themeChanged();
  void updateMatchesLabel();
  // Return in the search field; true when it was taken.
  bool handleReturnInSearchField(Qt::KeyboardModifiers modifiers);

  QPointer<ZPHMacWebViewFindBarView> m_view;
  ZPHFindBarSearchField* m_searchField = nullptr;
  ZPHMacWebViewFindBarDoneButton* m_doneButton = nullptr;
  QLabel* m_matchesTextField = nullptr;
  ZPHMacWebViewFindBarSegmentedControl* m_backForwardSegmentedControl = nullptr;
  ZPHMacWebViewFindBarViewDelegate* m_delegate = nullptr;
  qint64 m_numberOfMatches = NotFound;
  QString m_searchString;
  ZPHObserverToken m_themeObserver;
};
