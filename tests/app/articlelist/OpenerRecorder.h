#pragma once

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

// Takes the place of the desktop's openers for the schemes given while it
// lives, and keeps what reached them.
class OpenerRecorder : public QObject {
  Q_OBJECT
public:
  explicit OpenerRecorder(const QStringList& schemes);
  ~OpenerRecorder() override;

  QList<QUrl> opened;

public Q_SLOTS:
  void open(const QUrl& url);

private:
  QStringList m_schemes;
};
