#include "web/ZPHMacWebViewFindBarViewController.h"

#include "themes/ZPHTheme.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHMacWebViewFindBarDoneButton.h"
#include "web/ZPHMacWebViewFindBarSegmentedControl.h"
#include "web/ZPHMacWebViewFindBarView.h"
#include "web/ZPHMacWebViewFindBarViewDelegate.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>

ZPHMacWebViewFindBarViewController::ZPHMacWebViewFindBarViewController(QObject* parent) : QObject(parent) {}

ZPHMacWebViewFindBarViewController::~ZPHMacWebViewFindBarViewController()
{
  m_delegate = nullptr;
  delete m_view;
}

ZPHMacWebViewFindBarView* ZPHMacWebViewFindBarViewController::view()
{
  if (!m_view)
    loadView();
  return m_view;
}

ZPHFindBarSearchField* ZPHMacWebViewFindBarViewController::searchField()
{
  view();
  return m_searchField;
}

ZPHMacWebViewFindBarDoneButton* ZPHMacWebViewFindBarViewController::doneButton()
{
  view();
  return m_doneButton;
}

QLabel* ZPHMacWebViewFindBarViewController::matchesTextField()
{
  view();
  return m_matchesTextField;
}

ZPHMacWebViewFindBarSegmentedControl* ZPHMacWebViewFindBarViewController::backForwardSegmentedControl()
{
  view();
  return m_backForwardSegmentedControl;
}

void ZPHMacWebViewFindBarViewController::loadView()
{
  m_view = new ZPHMacWebViewFindBarView;
  auto* layout = new QHBoxLayout(m_view);
  layout->setContentsMargins(8, 4, 8, 4);
  layout->setSpacing(8);

  m_searchField = new ZPHFindBarSearchField(m_view);
  m_searchField->setObjectName(QStringLiteral("findBarSearchField"));
  m_searchField->setPlaceholderText(QCoreApplication::translate("Browser", "Find"));
  m_searchField->setFixedWidth(220);
  m_searchField->installEventFilter(this);
  // What the user types is the search; what the program puts in is not.
  connect(m_searchField, &QLineEdit::textEdited, this, &ZPHMacWebViewFindBarViewController::setSearchString);
  layout->addWidget(m_searchField);

  m_backForwardSegmentedControl = new ZPHMacWebViewFindBarSegmentedControl(m_view);
  m_backForwardSegmentedControl->setToolTip(QCoreApplication::translate("Browser", "Previous match"), 0);
  m_backForwardSegmentedControl->setToolTip(QCoreApplication::translate("Browser", "Next match"), 1);
  connect(m_backForwardSegmentedControl, &ZPHCustomSegmentedControl::segmentClicked, this,
          &ZPHMacWebViewFindBarViewController::navigateMatchesAction);
  layout->addWidget(m_backForwardSegmentedControl);

  m_matchesTextField = new QLabel(m_view);
  m_matchesTextField->setObjectName(QStringLiteral("findBarMatches"));
  m_matchesTextField->setTextFormat(Qt::PlainText);
  QFont font = m_matchesTextField->font();
  font.setPixelSize(11);
  m_matchesTextField->setFont(font);
  layout->addWidget(m_matchesTextField);
  layout->addStretch(1);

  m_doneButton = new ZPHMacWebViewFindBarDoneButton(m_view);
  m_doneButton->setText(QCoreApplication::translate("Browser", "Done"));
  connect(m_doneButton, &QAbstractButton::clicked, this, &ZPHMacWebViewFindBarViewController::doneAction);
  layout->addWidget(m_doneButton);

  m_view->setFixedHeight(m_view->sizeHint().height());
  m_view->adjustSize();

  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); });
  setNumberOfMatches(NotFound);
  themeChanged();
}

// ---- Matches

void ZPHMacWebViewFindBarViewController::setNumberOfMatches(qint64 count)
{
  m_numberOfMatches = count;
  updateMatchesLabel();
  Q_EMIT numberOfMatchesChanged();
}

QString ZPHMacWebViewFindBarViewController::numberOfMatchesStringForCount(qint64 count)
{
  if (count < 0 || count == NotFound)
    return QStringLiteral("");
  if (count == 0)
    return QCoreApplication::translate("Browser", "Not found");
  if (count == 1)
    return QCoreApplication::translate("Browser", "1 match");
  return QCoreApplication::translate("Browser", "%1 matches").arg(count);
}

QString ZPHMacWebViewFindBarViewController::numberOfMatchesString() const
{
  return numberOfMatchesStringForCount(m_numberOfMatches);
}

QColor ZPHMacWebViewFindBarViewController::numberOfMatchesColor() const
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  return theme ? theme->browserFindBarDoneButtonFontColor() : QColor();
}

bool ZPHMacWebViewFindBarViewController::hasMatches() const
{
  if (m_numberOfMatches < 0 || m_numberOfMatches == NotFound)
    return false;
  return m_numberOfMatches != 0;
}

void ZPHMacWebViewFindBarViewController::updateMatchesLabel()
{
  if (!m_matchesTextField)
    return;
  m_matchesTextField->setText(numberOfMatchesString());
  QPalette palette = m_matchesTextField->palette();
  const QColor color = numberOfMatchesColor();
  if (color.isValid())
    palette.setColor(QPalette::WindowText, color);
  m_matchesTextField->setPalette(palette);
}

void ZPHMacWebViewFindBarViewController::themeChanged()
{
  updateMatchesLabel();
  Q_EMIT numberOfMatchesColorChanged();
}

// ---- Searching

void ZPHMacWebViewFindBarViewController::setSearchString(const QString& string)
{
  m_searchString = string;
  performSearch(m_searchString);
  if (m_searchString.isEmpty())
    setNumberOfMatches(NotFound);
}

void ZPHMacWebViewFindBarViewController::resetState()
{
  setNumberOfMatches(NotFound);
  if (m_searchField)
    m_searchField->setText(QStringLiteral(""));
}

void ZPHMacWebViewFindBarViewController::triggerSearchFor(const QString& string)
{
  const QString text = string.isNull() ? QStringLiteral("") : string;
  m_searchString = text;
  searchField()->setText(text);
  performSearch(text);
}

void ZPHMacWebViewFindBarViewController::makeSearchFieldFirstResponder()
{
  ZPHFindBarSearchField* field = searchField();
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

void ZPHMacWebViewFindBarViewController::highlightPreviousSearchResult()
{
  if (m_delegate)
    m_delegate->webViewFindBarControllerRequestsHighlightPrevious(this, m_searchString);
}

void ZPHMacWebViewFindBarViewController::highlightNextSearchResult()
{
  if (m_delegate)
    m_delegate->webViewFindBarControllerRequestsHighlightNext(this, m_searchString);
}

void ZPHMacWebViewFindBarViewController::performSearch(const QString& string)
{
  if (m_delegate)
    m_delegate->webViewFindBarControllerSearchFieldTextChanged(this, string);
}

void ZPHMacWebViewFindBarViewController::navigateMatchesAction(int segment)
{
  if (segment == 0)
    highlightPreviousSearchResult();
  else
    highlightNextSearchResult();
}

void ZPHMacWebViewFindBarViewController::doneAction()
{
  if (m_view && m_view->parentWidget())
    m_view->parentWidget()->setFocus(Qt::OtherFocusReason);
  if (m_searchField)
    m_searchField->setText(QStringLiteral(""));
  performSearch(QStringLiteral(""));
  if (m_delegate)
    m_delegate->webViewFindBarControllerRequestsDismissal(this);
}

bool ZPHMacWebViewFindBarViewController::handleReturnInSearchField(Qt::KeyboardModifiers modifiers)
{
  // The not-found count counts as more than none: Return works before a
  // count came back.
  if (!m_searchField || m_searchField->text().isEmpty() || m_numberOfMatches <= 0)
    return false;
  if (modifiers.testFlag(Qt::ShiftModifier))
    highlightPreviousSearchResult();
  else
    highlightNextSearchResult();
  makeSearchFieldFirstResponder();
  return true;
}

bool ZPHMacWebViewFindBarViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_searchField && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && handleReturnInSearchField(key->modifiers()))
      return true;
  }
  return QObject::eventFilter(watched, event);
}
