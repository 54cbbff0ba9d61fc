#pragma once

// Qt kind: QWidget.

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

// What a popover does when Return or Enter is pressed in its key view.
class ZPHPopoverKeyEquivalentProtocol {
public:
  virtual ~ZPHPopoverKeyEquivalentProtocol() = default;
  virtual void closePopOver(QObject* sender) = 0;
};

// The key view of a popover: Return and Enter that no child takes close
// the popover (its delegate's closePopOver()); other keys go on as usual.
class ZPHPopoverKeyEventView : public QWidget {
  Q_OBJECT

public:
  explicit ZPHPopoverKeyEventView(QWidget* parent = nullptr);

  // Not owned.
  ZPHPopoverKeyEquivalentProtocol* delegate() const { return m_delegate; }
  void setDelegate(ZPHPopoverKeyEquivalentProtocol* delegate) { m_delegate = delegate; }

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  ZPHPopoverKeyEquivalentProtocol* m_delegate = nullptr;
};
