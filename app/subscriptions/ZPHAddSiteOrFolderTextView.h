#pragma once

// Qt kind: QWidget (QPlainTextEdit).

#include <QtWidgets/QPlainTextEdit>

class ZPHInnerGlowClipView;

// The text field of the Add Site window (the address) and the Add Folder
// sheet (the name): plain text in the system font of 13 points with 6
// points above and below, its own placeholder drawn in the theme's
// placeholder colour while it is empty, no frame and no background of its
// own. It sits in a ZPHInnerGlowClipView (its backdrop) and has that view
// draw the focus glow exactly while the application and its window are
// active, it has the focus and it can be edited.
//
// Return, Tab and Shift-Tab are commands: Return is handed to
// returnPressed(), Tab and Shift-Tab move the focus. With
// refusesLineBreaks, a paste or drop that holds a line break is refused as
// a whole.
class ZPHAddSiteOrFolderTextView : public QPlainTextEdit {
  Q_OBJECT
public:
  // A text view inside a new backdrop; the backdrop is what goes into a
  // layout.
  static ZPHAddSiteOrFolderTextView* makeInBackdrop(QWidget* parent, ZPHInnerGlowClipView** backdrop);

  explicit ZPHAddSiteOrFolderTextView(QWidget* parent = nullptr);

  QString customPlaceholderString() const { return m_customPlaceholderString; }
  void setCustomPlaceholderString(const QString& placeholder);
  // Wrapping at any character (the address) or one line cut at the head
  // (a folder's name).
  enum class LineBreakMode { CharacterWrapping, TruncatingHead };
  LineBreakMode defaultLineBreakMode() const { return m_lineBreakMode; }
  void setDefaultLineBreakMode(LineBreakMode mode);
  bool refusesLineBreaks() const { return m_refusesLineBreaks; }
  void setRefusesLineBreaks(bool refuses) { m_refusesLineBreaks = refuses; }

  bool shouldDrawInnerGlow() const { return m_shouldDrawInnerGlow; }
  // Works the glow out again and hands it to the backdrop.
  void updateInnerGlow();
  // The backdrop (the parent, when it is a glow view).
  ZPHInnerGlowClipView* glowView() const;

  // The height the text takes at `width`, with its insets.
  int textHeightForWidth(int width) const;

Q_SIGNALS:
  void returnPressed();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QString m_customPlaceholderString;
  LineBreakMode m_lineBreakMode = LineBreakMode::CharacterWrapping;
  bool m_refusesLineBreaks = false;
  bool m_shouldDrawInnerGlow = false;
};
