#pragma once

// Qt kind: QObject that owns widgets.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QPlainTextEdit>

class CBSharableItem;
class QLabel;
class QPushButton;
class ZPHAppDotNetPostViewController;

// What the composer tells the command that showed it.
class ZPHAppDotNetPostViewControllerDelegate {
public:
  virtual ~ZPHAppDotNetPostViewControllerDelegate();
  virtual void appDotNetPostViewControllerDidSuccessfullyPost(ZPHAppDotNetPostViewController* controller) = 0;
  virtual void appDotNetPostViewControllerDidCancelPost(ZPHAppDotNetPostViewController* controller) = 0;
};

// The composer's text: plain text with room around it; Tab moves on
// instead of inserting a tab.
class ZPHAppDotNetPostTextView : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit ZPHAppDotNetPostTextView(QWidget* parent = nullptr);
};

// Holds the composer, with a line across its top and bottom in the theme's
// text-view border colour.
class ZPHAppDotNetPostScrollView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  explicit ZPHAppDotNetPostScrollView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};

// The post composer inside the sharing popover: the text (the item's title
// and address), how many of the 256 characters are left (counted in code
// points, shown in the theme's warning colour below zero), an error line,
// and Cancel and Post (on while there is text that fits and no post runs).
class ZPHAppDotNetPostViewController : public QObject {
  Q_OBJECT

public:
  static constexpr int MaximumPostLength = 256;

  explicit ZPHAppDotNetPostViewController(ZPHAppDotNetPostViewControllerDelegate* delegate, QObject* parent = nullptr);
  ~ZPHAppDotNetPostViewController() override;

  QWidget* view() const { return m_view; }
  ZPHAppDotNetPostViewControllerDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHAppDotNetPostViewControllerDelegate* delegate) { m_delegate = delegate; }
  ZPHAppDotNetPostTextView* textView() const { return m_textView; }
  QPushButton* postButton() const { return m_postButton; }
  QLabel* remainingLabel() const { return m_remainingLabel; }
  QLabel* errorMessageLabel() const { return m_errorMessageLabel; }

  QString postText() const;
  void setPostText(const QString& text);
  bool posting() const { return m_posting; }
  QString errorMessage() const { return m_errorMessage; }
  bool hasPostText() const { return !postText().isEmpty(); }
  // 256 less the code points of the text (an emoji beyond the first plane
  // counts once, a letter and its combining accent twice).
  qsizetype numberOfCharactersRemaining() const;
  static qsizetype numberOfCharactersRemainingForText(const QString& text);
  QColor numberOfCharactersRemainingTextColor() const;
  bool canPost() const;
  QWidget* firstResponder() const { return m_textView; }

  // The item's title (empty when it has none), a line feed, its address.
  void populatePostTextWithSharableItem(const CBSharableItem& item);
  void post();
  void cancel();

Q_SIGNALS:
  void canPostChanged(bool canPost);

private:
  void update();
  void setPosting(bool posting);

  ZPHAppDotNetPostViewControllerDelegate* m_delegate;
  QPointer<QWidget> m_view;
  ZPHAppDotNetPostTextView* m_textView = nullptr;
  QLabel* m_remainingLabel = nullptr;
  QLabel* m_errorMessageLabel = nullptr;
  QPushButton* m_postButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  bool m_posting = false;
  QString m_errorMessage;
};
