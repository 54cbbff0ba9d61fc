#pragma once

// Qt kind: none (an interface: an abstract class).

// What the Find command asks of the toolbar that holds the search field.
class ZPHSearchFieldToolbar {
public:
  virtual ~ZPHSearchFieldToolbar() = default;
  // Whether the toolbar is shown (not hidden by the user).
  virtual bool isToolbarVisible() const = 0;
  virtual void setToolbarVisible(bool visible) = 0;
  // 1 icon and label, 2 icon only, 3 label only.
  virtual int toolbarDisplayMode() const = 0;
  // A mode for the Find command's sake: not kept in the settings, and not
  // taken for the user's choice.
  virtual void setToolbarDisplayModeForSearch(int mode) = 0;
  // Whether the search item is on the toolbar; putting it back adds it at
  // the end. Neither is kept in the settings.
  virtual bool toolbarHasSearchItem() const = 0;
  virtual void setToolbarHasSearchItemForSearch(bool has) = 0;
};
