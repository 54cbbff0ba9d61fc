#pragma once

// Qt kind: QObject that owns widgets.

#include "sharing/CBSharableItem.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <optional>

class CBUserInterfaceContext;
class QFrame;
class QStandardItemModel;
class QToolButton;
class QVBoxLayout;
class QWidget;
class ZPHSharingHost;
class ZPHSharingPluginCommand;
class ZPHSharingPopoverPluginCommandContentView;
class ZPHSharingPopoverTableView;

// The sharing popover: a menu-like list of the sharing commands (the share
// menus' groups without the browser commands), shown in one frameless popup
// that closes when the user clicks elsewhere. The row under the pointer is
// highlighted like a menu item; a command that cannot act on the item is
// listed grey and cannot be chosen; a command that keeps a login has a small
// button to forget it. The read-later and posting commands put their own
// views (a login, a composer) into the same popup; the list comes back with
// restore(), which the popup's owners call before showing it.
//
// One, shared, made on first use and kept for the process. It lists the
// commands for the main window's presented item (the main window gives
// itself with setMainWindowController()), or for an item of its own
// (showForItem()). Main thread only.
class ZPHSharingPopoverViewController : public QObject {
  Q_OBJECT

public:
  // Where the popup stands next to what it points at.
  enum class Edge { Left, Right, Below };
  static constexpr int PreferredWidth = 240;
  // Beside the rows' heights.
  static constexpr int ExtraHeight = 4;

  static ZPHSharingPopoverViewController* sharingPopoverViewController();

  ~ZPHSharingPopoverViewController() override;

  // The main window: the source of the presented item and the one that runs
  // commands on it. A new one rebuilds the list and restores it.
  ZPHSharingHost* mainWindowController() const { return m_mainWindowController; }
  void setMainWindowController(ZPHSharingHost* controller);

  QFrame* popover();
  bool isShown() const;
  QWidget* containerView() const;
  ZPHSharingPopoverTableView* tableView() const;
  // The rows: commands, and null for a separator.
  QList<ZPHSharingPluginCommand*> sharingPluginArray() const { return m_sharingPluginArray; }
  bool showingShareMenu() const { return m_showingShareMenu; }
  // The list's frame: its height is 26 per command, 13 per separator and 4.
  QRect preferredRect() const { return m_preferredRect; }
  QWidget* contentChildView() const { return m_contentChildView; }

  // Builds the list anew from the plug-in manager.
  void rebuildList();
  // Puts the list back into the popup.
  void restore();
  // Puts a command's view into the popup: the popup takes the size now and
  // the view on the next turn of the event loop, unless another view was
  // asked for meanwhile.
  void setContent(QWidget* view, const QRect& newFrame, bool animated = true);
  void prepareForCustomContent();

  // Shows the popup pointing at the rectangle (in the anchor's coordinates)
  // on that side; below a control on a toolbar is below its label too. A
  // new size keeps it pointing there. False when the anchor is not on
  // screen.
  bool showRelativeToRect(const QRect& rect, QWidget* anchor, Edge edge);
  // Toggles the popup with the list for the main window's item at the
  // rectangle of the anchor (below it): closes it when shown.
  bool togglePopoverForPresentedItem(QWidget* anchor, const QRect& rect = {});
  // The same for an item of the caller's (a browser tab, a link): the list
  // validates against that item and runs commands on it from the anchor.
  bool togglePopoverForItem(const CBSharableItem& item, QWidget* anchor, const QRect& rect = {},
                            Edge edge = Edge::Below);
  // The item the list acts on: the caller's, else the main window's.
  std::optional<CBSharableItem> sharableItem() const;
  void closePopOver();

  // Whether the command can act on the item now.
  bool validateCommand(ZPHSharingPluginCommand* command) const;
  // The row clicked (the selected one): runs its command when valid, then
  // closes the popup unless the command shows its own views in it.
  void chooseShareItem();
  // The same for the listed command of that identifier.
  void runPlugin(const QString& commandID);
  // The row's clear-credentials button.
  void clearCredentialsForPluginFromTag(int row);
  // The row's button, when the row's command has a login to forget.
  QToolButton* clearCredentialsButtonForRow(int row) const;

  // Shows the popup for a command run from elsewhere (a menu): at the
  // rectangle that the context's host controller gives, else at the
  // context's view. Yes when it is shown (or was).
  bool displaySharingPopoverIfNeeded(const CBUserInterfaceContext& context, ZPHSharingPluginCommand* command);

Q_SIGNALS:
  void popoverWillShow();
  void popoverDidClose();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  ZPHSharingPopoverViewController();
  void reloadData();
  void placeCredentialButtons();
  void perform(ZPHSharingPluginCommand* command);
  void restoreFirstResponder();
  // Moves the popup to where it points at its anchor's rectangle.
  void place();

  ZPHSharingHost* m_mainWindowController = nullptr;
  // The popup (a QFrame); kept as a widget so that it can be told apart
  // while its window destroys it.
  QPointer<QWidget> m_popover;
  ZPHSharingPopoverPluginCommandContentView* m_contentView = nullptr;
  QPointer<QWidget> m_containerView;
  QVBoxLayout* m_containerLayout = nullptr;
  QPointer<ZPHSharingPopoverTableView> m_tableView;
  QStandardItemModel* m_model = nullptr;
  QList<ZPHSharingPluginCommand*> m_sharingPluginArray;
  QList<QPointer<QToolButton>> m_credentialButtons;
  bool m_showingShareMenu = false;
  QRect m_preferredRect;
  QPointer<QWidget> m_contentChildView;
  QPointer<QWidget> m_firstResponderWhenPopoverShown;
  QPointer<QWidget> m_anchor;
  QRect m_anchorRect;
  Edge m_edge = Edge::Below;
  std::optional<CBSharableItem> m_item;
};
