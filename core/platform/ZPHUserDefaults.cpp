#include "platform/ZPHUserDefaults.h"

#include "platform/ZPHMainThread.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMutexLocker>
#include <QtCore/QPointer>
#include <QtCore/QSettings>

namespace {

bool isRemoval(const QVariant& value) { return !value.isValid() || value.isNull(); }

ZPHUserDefaults* g_standardDefaults = nullptr;

void synchronizeStandardDefaults()
{
  if (g_standardDefaults)
    g_standardDefaults->synchronize();
}

}  // namespace

ZPHUserDefaults::ZPHUserDefaults() : m_settings(std::make_unique<QSettings>()) { setUp(); }

ZPHUserDefaults::ZPHUserDefaults(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
  setUp();
}

ZPHUserDefaults::~ZPHUserDefaults()
{
  if (g_standardDefaults == this)
    g_standardDefaults = nullptr;
  synchronize();
}

void ZPHUserDefaults::setUp()
{
  // The settings object writes only when told to (below): left to itself
  // it would write on a later turn of the event loop of the thread that
  // made it, which for a worker thread may never come, and it would do so
  // outside this object's lock.
  m_settings->moveToThread(nullptr);
  // Signals follow the main event loop; what is still unwritten reaches
  // the disk when the application quits.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    moveToThread(app->thread());
    connect(app, &QCoreApplication::aboutToQuit, this, &ZPHUserDefaults::synchronize, Qt::DirectConnection);
  }
}

ZPHUserDefaults& ZPHUserDefaults::standardUserDefaults()
{
  // Made on first use and destroyed at exit, which writes what is left;
  // written also when the application object goes away.
  static ZPHUserDefaults defaults;
  static const bool registered = [] {
    g_standardDefaults = &defaults;
    if (QCoreApplication::instance())
      qAddPostRoutine(&synchronizeStandardDefaults);
    return true;
  }();
  Q_UNUSED(registered);
  return defaults;
}

void ZPHUserDefaults::registerDefaults(const QVariantMap& defaults)
{
  QMutexLocker locker(&m_mutex);
  for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) m_registered.insert(it.key(), it.value());
}

QVariantMap ZPHUserDefaults::registeredDefaults() const
{
  QMutexLocker locker(&m_mutex);
  return m_registered;
}

QVariant ZPHUserDefaults::objectForKey(const QString& key) const
{
  QMutexLocker locker(&m_mutex);
  if (m_settings->contains(key))
    return m_settings->value(key);
  return m_registered.value(key);
}

bool ZPHUserDefaults::hasStoredValue(const QString& key) const
{
  QMutexLocker locker(&m_mutex);
  return m_settings->contains(key);
}

QString ZPHUserDefaults::stringForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (!value.isValid() || !value.canConvert<QString>())
    return {};
  return value.toString();
}

QStringList ZPHUserDefaults::stringArrayForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (value.typeId() == QMetaType::QString)
    return QStringList{value.toString()};
  return value.toStringList();
}

QVariantList ZPHUserDefaults::arrayForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (value.typeId() == QMetaType::QString)
    return QVariantList{value};
  return value.toList();
}

QVariantMap ZPHUserDefaults::dictionaryForKey(const QString& key) const { return objectForKey(key).toMap(); }

bool ZPHUserDefaults::boolForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (value.typeId() == QMetaType::QString) {
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
      return true;
    return text.toLongLong() != 0;
  }
  return value.toBool();
}

qint64 ZPHUserDefaults::integerForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (value.typeId() == QMetaType::QString) {
    const QString text = value.toString().trimmed();
    if (text == QLatin1String("true"))
      return 1;
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok ? n : static_cast<qint64>(text.toDouble());
  }
  return value.toLongLong();
}

double ZPHUserDefaults::doubleForKey(const QString& key) const
{
  const QVariant value = objectForKey(key);
  if (value.typeId() == QMetaType::QString) {
    const QString text = value.toString().trimmed();
    if (text == QLatin1String("true"))
      return 1.0;
    return text.toDouble();
  }
  return value.toDouble();
}

void ZPHUserDefaults::setObject(const QString& key, const QVariant& value)
{
  {
    QMutexLocker locker(&m_mutex);
    if (isRemoval(value))
      m_settings->remove(key);
    else
      m_settings->setValue(key, value);
  }
  scheduleSynchronize();
  announce(key);
}

void ZPHUserDefaults::scheduleSynchronize()
{
  // Changes in a burst go to disk together, on the next turn of the main
  // event loop; without one, at once.
  if (QCoreApplication::instance() == nullptr) {
    synchronize();
    return;
  }
  if (m_synchronizeScheduled.exchange(true))
    return;
  QPointer<ZPHUserDefaults> self(this);
  ZPHMainThread::async([self] {
    if (self) {
      self->m_synchronizeScheduled = false;
      self->synchronize();
    }
  });
}

void ZPHUserDefaults::removeObject(const QString& key) { setObject(key, QVariant()); }

void ZPHUserDefaults::synchronize()
{
  QMutexLocker locker(&m_mutex);
  m_settings->sync();
}

QMetaObject::Connection ZPHUserDefaults::observe(const QString& key, QObject* context,
                                                 std::function<void(const QVariant& value)> handler)
{
  return connect(this, &ZPHUserDefaults::valueChanged, context,
                 [key, handler = std::move(handler)](const QString& changedKey, const QVariant& value) {
                   if (changedKey == key)
                     handler(value);
                 });
}

void ZPHUserDefaults::announce(const QString& key)
{
  if (ZPHMainThread::isMainThread()) {
    Q_EMIT valueChanged(key, objectForKey(key));
    return;
  }
  QPointer<ZPHUserDefaults> self(this);
  ZPHMainThread::async([self, key] {
    if (self)
      Q_EMIT self->valueChanged(key, self->objectForKey(key));
  });
}
