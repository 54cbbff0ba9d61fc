#pragma once

// Qt kind: QWidget (the toolbar; its items are QPushButtons drawn by it).

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QPointer>
#include <QtGui/QImage>
#include <QtWidgets/QPushButton>

#include <optional>

class QHBoxLayout;
class ZPHSelectableToolbar;

// What a selectable toolbar shows.
class ZPHSelectableToolbarDataSource {
public:
  virtual ~ZPHSelectableToolbarDataSource() = default;
  virtual int numberOfItemsInToolbar(ZPHSelectableToolbar* toolbar) = 0;
  virtual QString titleForItemInToolbar(ZPHSelectableToolbar* toolbar, int index) = 0;
  // A template: only its alpha counts; it is drawn in the toolbar's text
  // colour.
  virtual QImage templateImageForItemInToolbar(ZPHSelectableToolbar* toolbar, int index) = 0;
};

// Hears of selections; every call is optional.
class ZPHSelectableToolbarDelegate {
public:
  virtual ~ZPHSelectableToolbarDelegate() = default;
  // False cancels the selection.
  virtual bool toolbarShouldSelectItemAtIndex(ZPHSelectableToolbar*, int) { return true; }
  virtual void toolbarWillSelectItemAtIndex(ZPHSelectableToolbar*, int) {}
  virtual void toolbarDidSelectItemAtIndex(ZPHSelectableToolbar*, int) {}
};

// One item of a selectable toolbar: its image above its title.
class ZPHSelectableToolbarItemView : public ZPHThemeUpdatingView<QPushButton> {
  Q_OBJECT
public:
  explicit ZPHSelectableToolbarItemView(QWidget* parent = nullptr);

  QImage templateImage() const { return m_image; }
  void setTemplateImage(const QImage& image);

  // True: the checked state shows; false: no state shows.
  bool highlightedForSelectedState() const { return m_highlightedForSelectedState; }
  void setHighlightedForSelectedState(bool highlighted);
  // True: the item ignores the mouse and is never the key view, but does
  // not look disabled.
  bool actualyDisabled() const { return m_actualyDisabled; }
  void setActualyDisabled(bool disabled);
  // While true the item draws nothing (its pop is coming).
  bool hidesContentForAnimation() const { return m_hidesContentForAnimation; }
  void setHidesContentForAnimation(bool hides);
  // Pops in after `delaySeconds`: from nothing to a little larger to its
  // size in 0.26 s.
  void runPopAnimationWithDelay(double delaySeconds);
  // How far the pop has gone (1: done).
  double popProgress() const { return m_popProgress; }

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  QImage m_image;
  bool m_highlightedForSelectedState = true;
  bool m_actualyDisabled = false;
  bool m_hidesContentForAnimation = false;
  double m_popProgress = 1.0;
};

// The view drawn behind the selected item.
class ZPHSelectableToolbarSelectionView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT
public:
  using ZPHThemeUpdatingView::ZPHThemeUpdatingView;

protected:
  void paintEvent(QPaintEvent* event) override;
};

// The strip across the top of the Add Site window and the Add Folder sheet:
// equally wide items, each an image above a title, centred. The items come
// from the data source at each reload; the delegate hears of selections.
// Ctrl+1, Ctrl+2, ... select an item; Ctrl+Shift+} and Ctrl+Shift+{ (the
// characters typed, whatever the layout) the next and the previous one.
// The keys work while the toolbar is in a window, for every key the window
// gets.
//
// Main thread.
class ZPHSelectableToolbar : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT
public:
  static constexpr int Height = 58;

  explicit ZPHSelectableToolbar(QWidget* parent = nullptr);
  ~ZPHSelectableToolbar() override;

  ZPHSelectableToolbarDataSource* dataSource() const { return m_dataSource; }
  void setDataSource(ZPHSelectableToolbarDataSource* dataSource) { m_dataSource = dataSource; }
  ZPHSelectableToolbarDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHSelectableToolbarDelegate* delegate) { m_delegate = delegate; }

  int numberOfItems() const { return m_numberOfItems; }
  int indexOfSelectedItem() const { return m_indexOfSelectedItem; }
  const QList<ZPHSelectableToolbarItemView*>& itemViews() const { return m_itemViews; }

  // False makes every item inert and never highlighted.
  bool allowsAndShowsSelection() const { return m_allowsAndShowsSelection; }
  void setAllowsAndShowsSelection(bool allows);
  // True draws a selection view behind the selected item.
  bool drawsSelection() const { return m_drawsSelection; }
  void setDrawsSelection(bool draws);
  ZPHSelectableToolbarSelectionView* selectionView() const { return m_selectionView; }

  void reloadData() { reloadDataWithAnimation(false); }
  // Rebuilds the items (the selection goes back to the first when it is out
  // of range), then selects the selected index again, so the delegate hears
  // of it. Animated: the items pop in 0.3, 0.5, 0.7 ... seconds later.
  void reloadDataWithAnimation(bool animate);
  void selectItemAtIndex(int index) { selectItemAtIndex(index, false); }
  void selectItemAtIndex(int index, bool animated);

  // The key equivalents: the index a key selects (Ctrl+digit, and
  // Ctrl+Shift with "}" or "{" as its text); nullopt for other keys.
  static std::optional<int> indexSelectedByKey(int key, Qt::KeyboardModifiers modifiers, const QString& text,
                                               int selectedIndex, int numberOfItems);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

private:
  void updateSelectionViewGeometry();
  void watchWindow();

  ZPHSelectableToolbarDataSource* m_dataSource = nullptr;
  ZPHSelectableToolbarDelegate* m_delegate = nullptr;
  int m_numberOfItems = 0;
  int m_indexOfSelectedItem = 0;
  bool m_allowsAndShowsSelection = true;
  bool m_drawsSelection = false;
  QList<ZPHSelectableToolbarItemView*> m_itemViews;
  QPointer<ZPHSelectableToolbarSelectionView> m_selectionView;
  QWidget* m_containerView = nullptr;
  QHBoxLayout* m_containerLayout = nullptr;
  QPointer<QWidget> m_watchedWindow;
};
