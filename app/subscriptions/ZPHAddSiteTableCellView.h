#pragma once

// Qt kind: QWidget (one per row: the Add Site lists are short and every row
// has live controls).

#include "subscriptions/ZPHModelAdditions.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QPointer>
#include <QtGui/QImage>

class CBDefaultFeedEntry;
class QCheckBox;
class QComboBox;
class QLabel;
class ZPHAddSiteTableCellView;
class ZPHElidingLabel;

// The states of an Add Site row, shared by the found-feeds list and the
// popular-sites pane.
enum ZPHAddSiteCellState {
  ZPHAddSiteCellStateUnchecked = 0,
  ZPHAddSiteCellStateChecked = 1,
  ZPHAddSiteCellStateAlreadyAdded = 2,
  ZPHAddSiteCellStateHeaderOrMixed = 3,
  ZPHAddSiteCellStateNothingToAdd = 4,
};

// What a row shows in a state, as one pure function.
struct ZPHAddSiteCellAppearance {
  bool checkboxEnabled = true;
  bool checkboxChecked = false;
  bool popUpEnabled = true;
  bool popUpVisible = true;
  // The pop-up shows the one item "Already Added".
  bool popUpShowsAlreadyAdded = false;

  bool operator==(const ZPHAddSiteCellAppearance& other) const = default;
};
ZPHAddSiteCellAppearance ZPHAddSiteCellAppearanceForState(int state, bool hasCheckbox, bool hasFolder);
// The pop-up is shown when the box is checked and enabled; otherwise hidden
// for a row with a box and shown for a row without one.
bool ZPHAddSiteCellPopUpVisible(bool hasCheckbox, bool checked, bool checkboxEnabled);

// What a row tells its list.
class ZPHAddSiteTableCellViewDelegate {
public:
  virtual ~ZPHAddSiteTableCellViewDelegate() = default;
  virtual void addSiteTableCellViewDidChangeCheckedState(ZPHAddSiteTableCellView* cell, bool checked) = 0;
  virtual void addSiteTableCellViewDidChooseFolderTarget(ZPHAddSiteTableCellView* cell,
                                                         const ZPHFolderTarget& target) = 0;
  // A click on a row without a check box (the header row).
  virtual void addSiteTableCellViewDidClick(ZPHAddSiteTableCellView*) {}
};

// Painters of the rows' backgrounds.
class ZPHAddSiteGradientBorderRowView {
public:
  // A 1-point stroke line at top and bottom and the theme's gradient
  // between them.
  static void paint(QPainter& painter, const QRectF& bounds);
};
class ZPHAddSitesTableSiteRowView {
public:
  // The separator: a line 1 point high along the bottom.
  static void paintBottomSeparator(QPainter& painter, const QRectF& bounds);
};

// One row of an Add Site list: a check box, the site's favicon, its name
// (plain text) and a pop-up of the folders it goes to. A click anywhere on
// the row flips an enabled check box (a row without one tells its delegate);
// a press that is dragged out of the row before it is let go does nothing.
class ZPHAddSiteTableCellView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT
public:
  enum class Kind {
    Single,    // the one found feed: no header above it
    Multiple,  // a found feed under a header
    Header,    // the header of several found feeds: no check box
    PopularSite,
    Category,  // no pop-up
  };
  ZPHAddSiteTableCellView(Kind kind, QWidget* parent = nullptr);

  Kind kind() const { return m_kind; }
  ZPHAddSiteTableCellViewDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHAddSiteTableCellViewDelegate* delegate) { m_delegate = delegate; }
  QCheckBox* checkbox() const { return m_checkbox; }
  QComboBox* folderChooserPopUpButton() const { return m_popUp; }
  ZPHElidingLabel* nameTextField() const { return m_nameTextField; }
  QLabel* favIconImageView() const { return m_favIconImageView; }
  ZPHElidingLabel* descriptionTextField() const { return m_descriptionTextField; }
  bool checkboxIsChecked() const;
  int state() const { return m_state; }

  // Every row gets its own copy of the folders' menu.
  void setFolderMenu(const QList<ZPHFolderMenuItem>& menu);
  void configureForTitle(const QString& title, const QImage& favicon, int state, const ZPHFolderTarget& folder);
  // A popular site: its name, then its description.
  void configureForFeedEntry(const CBDefaultFeedEntry& entry, const QImage& favicon, int state,
                             const ZPHFolderTarget& folder);
  // A category: its name upper-cased; the box mixed in 3, on in 1, on and
  // disabled in 4, off otherwise.
  void configureForCategoryName(const QString& name, int state);
  void disableControls();
  // Flips the check box as a click would.
  void toggleCheckbox();
  void updatePopUpMenu();
  // The row's part of a list: whether it draws its bottom separator.
  void setShouldDrawBottomSeparator(bool draws);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  bool allowsTracking() const;
  void trackingAction();
  void checkboxAction();
  void folderChooserPopUpButtonAction(int index);
  void setPopUpShowsAlreadyAdded(bool shows);

  Kind m_kind;
  ZPHAddSiteTableCellViewDelegate* m_delegate = nullptr;
  QCheckBox* m_checkbox = nullptr;
  QLabel* m_favIconImageView = nullptr;
  ZPHElidingLabel* m_nameTextField = nullptr;
  ZPHElidingLabel* m_descriptionTextField = nullptr;
  QComboBox* m_popUp = nullptr;
  QList<ZPHFolderMenuItem> m_folderMenu;
  bool m_popUpShowsAlreadyAdded = false;
  bool m_shouldDrawBottomSeparator = false;
  bool m_tracking = false;
  int m_state = 0;
  bool m_updatingControls = false;
};
