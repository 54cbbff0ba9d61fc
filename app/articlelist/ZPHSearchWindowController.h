#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHSearchFieldToolbar.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <memory>

class CBDateManager;
class QStandardItemModel;
class QWidget;
class ZPHArticleListDelegate;
class ZPHSearchField;
class ZPHSearchOperation;
class ZPHSearchWindow;

// Searching articles from the toolbar's search field. While the user
// types, the options window under the field offers what to search (all
// text, titles or authors) and where (all sites, or the sites selected in
// the source list); each change of the text searches again with the chosen
// option. A search runs as one operation on the store queue; a new one
// cancels the one it supersedes, and only the newest one's result reaches
// the article list. The spinner shows while a search takes longer than
// 0.2 s.
//
// Keys in the field: Up and Down choose an option (headers and separators
// skipped), Tab and Return close the options (Return searches unless the
// first option's search already ran), Escape closes them, or with them
// closed empties the field and leaves search mode. A click elsewhere in the
// window closes them. Main thread only.
class ZPHSearchWindowController : public QObject {
  Q_OBJECT

public:
  // The rows of the options list.
  enum class RowKind { Option, Separator, Header };

  // The options window is a child of `host` (the main window).
  explicit ZPHSearchWindowController(QWidget* host, QObject* parent = nullptr);
  ~ZPHSearchWindowController() override;

  void setSearchField(ZPHSearchField* field);
  ZPHSearchField* searchField() const;
  ZPHSearchWindow* window() const { return m_window; }
  QStandardItemModel* optionsModel() const { return m_options; }
  // Where results go (the shared article list when not set).
  void setArticleListDelegate(ZPHArticleListDelegate* delegate) { m_articleListDelegate = delegate; }
  void setDateManager(const CBDateManager* dateManager) { m_dateManager = dateManager; }

  // The source list's selection, which the "Selected" options search.
  void setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds);
  const QList<ZPHRepresentedObject>& selectedFeeds() const { return m_selectedFeeds; }

  // The field's action: searches for the text; with text shows the
  // options, without it hides them and leaves search mode.
  void searchEntered();
  // A search of a type for the field's text.
  void executeSearchWithType(int type);
  // The toolbar the search field sits in (not owned; none: the Find
  // command only focuses the field).
  void setSearchFieldToolbar(ZPHSearchFieldToolbar* toolbar) { m_toolbar = toolbar; }
  // The Find command: the field gets the focus. First the toolbar's state is
  // recorded (once until it is given back); then, unless the field has the
  // focus already, a missing search item is put back, text only becomes
  // icon and text, and a hidden toolbar shows. When editing ends with the
  // field empty, the toolbar gets back what was recorded.
  void revealSearchField();
  // The user chose another display mode: the toolbar shows, and that mode
  // is the one to give back.
  void toolbarDisplayModeDidChange(int mode);
  // Whether a Find changed the toolbar and has not given it back yet.
  bool hasRecordedToolbarState() const { return m_preflightedAutoHide; }
  // With text: hides the options, empties the field, searches (which leaves
  // search mode).
  void clearSearchField();
  // Empties the field, nothing more (the article list left search mode).
  void clearSearchFieldQuietly();
  void makeSearchFieldFirstResponderAndSetInsertionPointToEnd();
  // A click on an option: its search, and the options close.
  void selectSearchStringAndDismiss(int row);

  std::shared_ptr<ZPHSearchOperation> lastSearchOperation() const { return m_lastSearchOperation; }
  int lastSelectedRow() const { return m_lastSelectedRow; }
  bool isOptionsWindowShown() const;

  // The options: 5 rows, or 10 with selected sites; "%1" is the text.
  int optionRowCount() const;
  static RowKind rowKind(int row);
  static int rowHeight(int row);
  // The type an option row searches (row 3 -> 2, 4 -> 1, 7 -> 3, 8 -> 4,
  // 9 -> 5, anything else 0).
  static int typeForRow(int row);
  int selectedOptionRow() const;
  void selectOptionRow(int row);

  // The keys of the field, by the command they stand for; answers whether
  // the key was taken.
  enum class Command { MoveUp, MoveDown, InsertTab, InsertNewline, CancelOperation };
  bool doCommand(Command command);

Q_SIGNALS:
  // The options closed while the field holds text: the list takes the
  // focus, with nothing selected.
  void moveFocusToArticleListAndSelectNoneRequested();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void searchStringUpdated();
  void doSearch();
  void executeSearch(int type, const QString& query);
  void reloadOptions();
  void reveal();
  void resetClearingSearchField(bool clearing);
  void cancelRunningSearch();
  void updatePopoverPosition();
  void restoreToolbarAfterSearch();
  ZPHArticleListDelegate* articleListDelegate() const;

  QPointer<QWidget> m_host;
  QPointer<ZPHSearchField> m_searchField;
  ZPHSearchWindow* m_window = nullptr;
  QStandardItemModel* m_options = nullptr;
  QPointer<ZPHArticleListDelegate> m_articleListDelegate;
  const CBDateManager* m_dateManager = nullptr;
  QList<ZPHRepresentedObject> m_selectedFeeds;
  std::shared_ptr<ZPHSearchOperation> m_lastSearchOperation;
  int m_lastSelectedRow = -1;
  bool m_preflighted = false;
  bool m_watchingClicks = false;
  // The toolbar as it was before the Find command changed it.
  ZPHSearchFieldToolbar* m_toolbar = nullptr;
  bool m_oldToolbarVisibility = true;
  int m_oldDisplayMode = 0;
  bool m_oldSearchFieldPresent = true;
  bool m_preflightedAutoHide = false;
};
