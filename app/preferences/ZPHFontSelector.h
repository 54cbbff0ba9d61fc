#pragma once

// Qt kind: QWidget (a theme-updating view).

#include "preferences/ZPHFontSelectorButton.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtCore/QString>

#include <functional>

class ZPHFontSizeSegmentedControl;

// The stack of font buttons in the style popover, one per article font that
// is installed ("Avenir", "Bitter", "Georgia", "Gill Sans", Helvetica,
// "Palatino", "Times New Roman", then the free families of Linux desktops:
// DejaVu, Liberation and Noto, serif and sans), each 26 points high and
// showing its name
// in its own font, a check mark on the chosen one; and under them the
// four-segment control of the column width and the text size. The
// Helvetica button (made only when both "Helvetica" and "Helvetica Neue"
// are installed) is "Helvetica Neue" on a screen of scale 2, else
// "Helvetica".
//
// Which families are installed, and the window's scale, are given, so the
// stack does not depend on the machine's fonts. Main thread.
class ZPHFontSelector : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  using FamilyInstalled = std::function<bool(const QString& family)>;
  using ScaleFactor = std::function<qreal()>;

  struct FontRow {
    QString family;
    qreal pointSize;
    qreal verticalTweak;
  };
  // The fonts in order; the Helvetica row stands for both Helvetica faces.
  static QList<FontRow> fontRows();
  static const QString HelveticaFamily;      // "Helvetica"
  static const QString HelveticaNeueFamily;  // "Helvetica Neue"

  // Null functions: QFontDatabase::families() lists the family exactly; the
  // scale of the selector's screen.
  explicit ZPHFontSelector(FamilyInstalled familyInstalled = {}, ScaleFactor scaleFactor = {},
                           QWidget* parent = nullptr);
  ~ZPHFontSelector() override;

  QList<ZPHFontSelectorButton*> arrayOfButtons() const { return m_buttons; }
  ZPHFontSelectorButton* helveticaButton() const { return m_helveticaButton; }
  ZPHFontSelectorButton* selectedFont() const { return m_selectedFont; }
  ZPHFontSizeSegmentedControl* fontSizeControl() const { return m_fontSizeControl; }

  // Checks the button of the family (the last one when several), after the
  // Helvetica button followed the scale; none when no button stands for it.
  void selectFontFamily(const QString& family);
  void deselectAllFonts();
  // A font button's action: it becomes the chosen one; didSelectFont().
  void fontButtonClicked(ZPHFontSelectorButton* button);
  // Every font button (the size control is enabled on its own).
  void setFontButtonsEnabled(bool enabled);
  // The Helvetica button follows the window's scale.
  void updateView();
  // What shows everything: the width, and the buttons' and the control's
  // heights (the frame is left as it is).
  QSize sizeToFit() const;
  QSize sizeHint() const override;

Q_SIGNALS:
  void didSelectFont(const QString& family);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void themeChanged(const ZPHNotification& notification) override;

private:
  void layOut();
  void updateHelveticaButton();

  FamilyInstalled m_familyInstalled;
  ScaleFactor m_scaleFactor;
  QList<ZPHFontSelectorButton*> m_buttons;
  ZPHFontSelectorButton* m_helveticaButton = nullptr;
  QPointer<ZPHFontSelectorButton> m_selectedFont;
  ZPHFontSizeSegmentedControl* m_fontSizeControl = nullptr;
};
