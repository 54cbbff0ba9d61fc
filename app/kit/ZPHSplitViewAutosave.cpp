#include "kit/ZPHSplitViewAutosave.h"

#include "platform/ZPHUserDefaults.h"

#include <QtCore/QTimer>
#include <QtWidgets/QSplitter>

#include <algorithm>
#include <utility>

ZPHSplitViewAutosave::ZPHSplitViewAutosave(QSplitter* splitView, const QString& key)
    : QObject(splitView), m_splitView(splitView), m_key(key)
{
  m_saveTimer = new QTimer(this);
  m_saveTimer->setSingleShot(true);
  m_saveTimer->setInterval(SaveDelay);
  connect(m_saveTimer, &QTimer::timeout, this, &ZPHSplitViewAutosave::save);
  if (splitView != nullptr)
    connect(splitView, &QSplitter::splitterMoved, this, &ZPHSplitViewAutosave::dividerMoved);
}

ZPHSplitViewAutosave::~ZPHSplitViewAutosave() { save(); }

std::optional<int> ZPHSplitViewAutosave::storedSize() const
{
  bool ok = false;
  const int size = ZPHUserDefaults::standardUserDefaults().objectForKey(m_key).toInt(&ok);
  if (!ok || size <= 0)
    return std::nullopt;
  return size;
}

bool ZPHSplitViewAutosave::restore(const std::function<int(int)>& constraint)
{
  const std::optional<int> stored = storedSize();
  if (m_splitView == nullptr || m_splitView->count() < 2 || !stored)
    return false;
  const int first = constraint ? constraint(*stored) : *stored;
  const QList<int> sizes = m_splitView->sizes();
  int total = 0;
  for (const int size : sizes) total += size;
  // Before its first layout the split view has no size yet: the second pane
  // takes what the first leaves of the whole, when it is known.
  const int second = std::max(1, total - first);
  QList<int> restored = sizes;
  restored[0] = first;
  restored[1] = second;
  m_splitView->setSizes(restored);
  return true;
}

void ZPHSplitViewAutosave::dividerMoved()
{
  if (m_splitView == nullptr || m_splitView->count() < 2)
    return;
  // Kept now: the split view may be gone when the save runs.
  m_pendingSize = m_splitView->sizes().value(0);
  m_saveTimer->start();
}

void ZPHSplitViewAutosave::save()
{
  m_saveTimer->stop();
  if (!m_pendingSize || *m_pendingSize <= 0)
    return;
  ZPHUserDefaults::standardUserDefaults().setInteger(m_key, *std::exchange(m_pendingSize, std::nullopt));
}
