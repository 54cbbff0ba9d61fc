#pragma once

// Qt kind: QWidget (QLineEdit).

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QPointer>
#include <QtGui/QIcon>
#include <QtWidgets/QLineEdit>

class ZPHFeedPopupButton;
class ZPHIndeterminateProgressIndicator;

// The address field of a browser tab: the page's address (or, in title
// mode, its title) beside the page icon, with the feed button ("Add") and
// a small spinner at its right end, in the theme's rounded shape. It is
// always 23 pixels high. Return sends returnPressed(), which the browser
// view controller takes. Dragging the icon (while no page loads) drags the
// page's address and title. Its editing menu has no separators out of
// place. Text is plain text.
class CBBrowserTextField : public ZPHThemeUpdatingView<QLineEdit> {
  Q_OBJECT

public:
  static constexpr int Height = 23;

  explicit CBBrowserTextField(QWidget* parent = nullptr);

  // ---- What it shows
  QString title() const { return m_title; }
  void setTitle(const QString& title);
  QString urlString() const { return m_urlString; }
  void setURLString(const QString& urlString);
  bool displayTitle() const { return m_displayTitle; }
  // Switches between title and address; the text shown stays until the next
  // title or address.
  void setDisplayTitle(bool displayTitle);
  QIcon image() const { return m_image; }
  void setImage(const QIcon& image);

  // ---- Progress
  bool inProgress() const { return m_inProgress; }
  void setInProgress(bool inProgress);
  double estimatedProgress() const { return m_estimatedProgress; }
  void setEstimatedProgress(double progress);

  // ---- The feed button
  ZPHFeedPopupButton* addButton() const { return m_addButton; }
  bool isAddButtonHidden() const { return m_addButtonHidden; }
  void setAddButtonHidden(bool hidden);
  ZPHIndeterminateProgressIndicator* indeterminateProgressIndicator() const { return m_spinner; }

  // ---- Geometry (in the field)
  QRect addButtonFrame() const;
  QRect indeterminateProgressIndicatorFrame() const;
  QRect iconRect() const;
  // Where the text goes.
  QRect textFrame() const;

  QSize sizeHint() const override { return QSize(400, Height); }

Q_SIGNALS:
  // The icon was dragged: a drag of the address and title is under way.
  void iconDragStarted();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void themeChanged(const ZPHNotification& notification) override;

private:
  void layoutSubviews();
  void configureTextColor();
  void startIconDrag();

  QIcon m_image;
  QString m_title;
  QString m_urlString;
  bool m_displayTitle = false;
  bool m_inProgress = false;
  bool m_addButtonHidden = true;
  double m_estimatedProgress = 0;
  ZPHIndeterminateProgressIndicator* m_spinner = nullptr;
  ZPHFeedPopupButton* m_addButton = nullptr;
  QPoint m_iconPressPoint;
  bool m_iconPressed = false;
};
