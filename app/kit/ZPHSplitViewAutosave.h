#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>

#include <functional>
#include <optional>

class QSplitter;
class QTimer;

// Keeps the size of a split view's first pane (the left pane's width of a
// side-by-side split, the top pane's height of a stacked one) in the user's
// settings (ZPHUserDefaults) under a key of its own: restore() gives it back
// when the split view is set up, and it is stored a moment after the user
// has moved the divider, and when this object goes. Only the user's moves
// are stored, not the sizes a window resize hands out.
//
// A child of the split view; main thread only.
class ZPHSplitViewAutosave : public QObject {
  Q_OBJECT

public:
  static constexpr int SaveDelay = 300;  // ms

  ZPHSplitViewAutosave(QSplitter* splitView, const QString& key);
  ~ZPHSplitViewAutosave() override;

  QString key() const { return m_key; }
  // The stored size; none when nothing usable is stored.
  std::optional<int> storedSize() const;
  // Gives the first pane the stored size, passed through `constraint` when
  // one is given (the second pane takes the rest, the panes' own limits
  // apply; a first pane that does not stretch keeps it when the split view
  // gets its size); false, changing nothing, when no size is stored.
  bool restore(const std::function<int(int proposed)>& constraint = {});

private:
  void dividerMoved();
  void save();

  QPointer<QSplitter> m_splitView;
  QString m_key;
  QTimer* m_saveTimer = nullptr;
  std::optional<int> m_pendingSize;
};
