#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "preferences/FRNHPreferenceViewController.h"

#include <QtCore/QPointer>
#include <QtGui/QFont>
#include <QtWidgets/QFontDialog>

#include <functional>

class CBFontLabelView;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class ZPHStyleSheetController;

// The Reading pane of the preferences: the article view's standard and
// fixed-width fonts (chosen in a font dialog) and minimum size, the article
// list's layout (standard or classic), its preview lines and pictures, and
// a reset of the fonts and the column width. Fonts and sizes live in the
// style sheet controller; the list settings in the user defaults
// ("ZPHContentLayoutMode", the number of preview lines, pictures), where
// the list follows them. The preview and picture controls are off in the
// classic layout, also when the layout is switched elsewhere.
//
// Main thread.
class ZPHPreferencesFontsViewController : public FRNHPreferenceViewController {
  Q_OBJECT

public:
  // Whether a font family is installed (QFontDatabase::families() lists it
  // exactly, unless a test says otherwise).
  using FamilyInstalled = std::function<bool(const QString& family)>;

  // The style sheet controller (the shared one when null) must outlive the
  // pane.
  explicit ZPHPreferencesFontsViewController(ZPHStyleSheetController* styleSheetController = nullptr,
                                             FamilyInstalled familyInstalled = {}, QObject* parent = nullptr);
  ~ZPHPreferencesFontsViewController() override;

  QString title() const override;
  QIcon image() const override;

  // The standard (fixed-width) family at its size when it is installed and
  // the size is above 0; else the style sheet controller's default font.
  QFont htmlStandardFont() const;
  QFont htmlFixedFont() const;
  int minimumFontSize() const;
  void setMinimumFontSize(int size);

  // Both true exactly while the standard layout is chosen.
  bool numberOfLinesShouldBeEnabled() const;
  bool supportsShowPictures() const;

  // Opens the font dialog on the standard (fixed-width) font.
  void chooseHTMLStandardFont();
  void chooseHTMLFixedFont();
  bool changingStandardFont() const { return m_changingStandardFont; }
  QFontDialog* fontPanel() const { return m_fontPanel; }
  // The font dialog's choice for the font being changed: the family and the
  // whole points; the font in use already changes nothing.
  void changeFont(const QFont& font);
  void resetToDefaultFonts();
  // The pop-up's item (index + 1 lines); the list is told once.
  void changeNumberOfLinesInPreviewInArticlesList(int index);
  void togglePicturesInArticlesList(bool checked);
  void setLayoutMode(int mode);

  // The controls (for tests).
  QButtonGroup* layoutControl() const { return m_layoutControl; }
  QComboBox* previewNumberOfLinesPopUpButton() const { return m_previewNumberOfLinesPopUpButton; }
  QCheckBox* showPicturesCheckBox() const { return m_showPicturesCheckBox; }
  QComboBox* minimumFontSizePopUpButton() const { return m_minimumFontSizePopUpButton; }
  CBFontLabelView* standardFontLabelView() const { return m_standardFontLabelView; }
  CBFontLabelView* fixedFontLabelView() const { return m_fixedFontLabelView; }

protected:
  QWidget* loadView() override;

private:
  void updateFontLabels();
  void updateArticleListControls();
  void openFontPanel(bool standard);
  ZPHStyleSheetController* styleSheet() const;

  ZPHStyleSheetController* m_styleSheetController;
  FamilyInstalled m_familyInstalled;
  bool m_changingStandardFont = true;
  ZPHObserverToken m_stylesObserver;
  QPointer<QFontDialog> m_fontPanel;
  QButtonGroup* m_layoutControl = nullptr;
  QComboBox* m_previewNumberOfLinesPopUpButton = nullptr;
  QCheckBox* m_showPicturesCheckBox = nullptr;
  QComboBox* m_minimumFontSizePopUpButton = nullptr;
  CBFontLabelView* m_standardFontLabelView = nullptr;
  CBFontLabelView* m_fixedFontLabelView = nullptr;
};
