#pragma once

#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <atomic>
#include <functional>
#include <memory>

class QSettings;

// The user's settings: values stored with QSettings (native format,
// ~/.config/<organization>/<application>.conf), in front of defaults
// registered at start-up that are never written to disk.
//
// Reads and writes are safe from any thread. Every change reaches the
// valueChanged signal and the observers on the main thread: at once for a
// write made on the main thread, on a later turn of its event loop for a
// write made elsewhere.
//
// Changes reach the disk on the next turn of the main event loop, when the
// application quits, when the application object goes away and when the
// defaults object is destroyed (the process-wide one at exit), whichever
// comes first; synchronize() writes at once.
//
// Stored values come back as QSettings reads them (numbers and booleans as
// text in the native format); the typed getters convert.
class ZPHUserDefaults : public QObject {
  Q_OBJECT

public:
  // Uses the file named by the organization and application names.
  ZPHUserDefaults();
  // Uses the given settings file (tests, tools).
  explicit ZPHUserDefaults(const QString& filePath);
  ~ZPHUserDefaults() override;

  // The defaults object of the process, made on first use.
  static ZPHUserDefaults& standardUserDefaults();

  // Registered defaults answer for keys that have no stored value. Later
  // registrations replace earlier ones key by key.
  void registerDefaults(const QVariantMap& defaults);
  QVariantMap registeredDefaults() const;

  // The stored value, else the registered default, else an invalid QVariant.
  QVariant objectForKey(const QString& key) const;
  bool hasStoredValue(const QString& key) const;

  QString stringForKey(const QString& key) const;
  QStringList stringArrayForKey(const QString& key) const;
  QVariantList arrayForKey(const QString& key) const;
  QVariantMap dictionaryForKey(const QString& key) const;
  bool boolForKey(const QString& key) const;
  qint64 integerForKey(const QString& key) const;
  double doubleForKey(const QString& key) const;

  // Stores a value; an invalid or null value removes the key.
  void setObject(const QString& key, const QVariant& value);
  void setBool(const QString& key, bool value) { setObject(key, value); }
  void setInteger(const QString& key, qint64 value) { setObject(key, value); }
  void setDouble(const QString& key, double value) { setObject(key, value); }
  void setString(const QString& key, const QString& value) { setObject(key, value); }
  void removeObject(const QString& key);

  // Writes pending changes to disk.
  void synchronize();

  // Calls `handler` on the main thread with the new value (registered
  // default after a removal) whenever `key` changes, until `context` dies.
  QMetaObject::Connection observe(const QString& key, QObject* context,
                                  std::function<void(const QVariant& value)> handler);

Q_SIGNALS:
  void valueChanged(const QString& key, const QVariant& value);

private:
  void setUp();
  void scheduleSynchronize();
  void announce(const QString& key);

  mutable QMutex m_mutex;
  std::unique_ptr<QSettings> m_settings;
  QVariantMap m_registered;
  std::atomic<bool> m_synchronizeScheduled{false};
};
