#include "shell/ZPHSystemProfile.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QCryptographicHash>
#include <QtCore/QFile>
#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtCore/QSysInfo>

#include <unistd.h>

namespace {

constexpr qint64 LargestSourceFile = 512 * 1024;
const QByteArray MachineIdentifierSuffix = QByteArrayLiteral("FHZL");

QString firstLine(const std::optional<QByteArray>& bytes)
{
  return bytes ? QString::fromUtf8(*bytes).section(u'\n', 0, 0).trimmed() : QString();
}

}  // namespace

ZPHSystemProfile::Sources ZPHSystemProfile::systemSources()
{
  Sources sources;
  sources.kernelRelease = [] { return QSysInfo::kernelVersion(); };
  sources.readFile = [](const QString& path) -> std::optional<QByteArray> {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      return std::nullopt;
    return file.read(LargestSourceFile);
  };
  sources.sysconf = [](int name) { return ::sysconf(name); };
  sources.cpuArchitecture = [] { return QSysInfo::currentCpuArchitecture(); };
  sources.firstUILanguage = [] {
    const QStringList languages = QLocale().uiLanguages();
    return languages.isEmpty() ? QString() : languages.first();
  };
  sources.appName = QCoreApplication::applicationName();
  sources.appVersion = QCoreApplication::applicationVersion().isEmpty() ? QStringLiteral(ZEPHLIN_VERSION)
                                                                        : QCoreApplication::applicationVersion();
  return sources;
}

QString ZPHSystemProfile::osVersionForKernelRelease(const QString& release)
{
  static const QRegularExpression numbers(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)"));
  const QRegularExpressionMatch match = numbers.match(release.trimmed());
  if (!match.hasMatch())
    return {};
  return QStringLiteral("%1.%2.%3")
      .arg(match.captured(1).toLongLong())
      .arg(match.captured(2).toLongLong())
      .arg(match.captured(3).toLongLong());
}

QVariantMap ZPHSystemProfile::buildSystemProfileDictionary(const Sources& sources)
{
  QVariantMap profile;
  const auto put = [&profile](const QString& key, const QString& value) {
    if (!value.isEmpty())
      profile.insert(key, value);
  };
  if (sources.kernelRelease)
    put(QStringLiteral("osVersion"), osVersionForKernelRelease(sources.kernelRelease()));
  if (sources.cpuArchitecture) {
    const QString architecture = sources.cpuArchitecture();
    if (!architecture.isEmpty())
      put(QStringLiteral("cpu64bit"),
          architecture.contains(QLatin1String("64")) ? QStringLiteral("1") : QStringLiteral("0"));
  }
  if (sources.readFile) {
    const QString vendor = firstLine(sources.readFile(QStringLiteral("/sys/class/dmi/id/sys_vendor")));
    const QString product = firstLine(sources.readFile(QStringLiteral("/sys/class/dmi/id/product_name")));
    put(QStringLiteral("model"), QStringList{vendor, product}.join(u' ').trimmed());
    const QString maximum =
        firstLine(sources.readFile(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq")));
    bool ok = false;
    const qint64 kHz = maximum.toLongLong(&ok);
    if (ok && kHz > 0) {
      put(QStringLiteral("cpuFreqMHz"), QString::number(kHz / 1000));
    } else if (const std::optional<QByteArray> cpuinfo = sources.readFile(QStringLiteral("/proc/cpuinfo"))) {
      static const QRegularExpression mhz(QStringLiteral("^cpu MHz\\s*:\\s*([0-9.]+)"),
                                          QRegularExpression::MultilineOption);
      const QRegularExpressionMatch match = mhz.match(QString::fromUtf8(*cpuinfo));
      if (match.hasMatch())
        put(QStringLiteral("cpuFreqMHz"), QString::number(qint64(match.captured(1).toDouble())));
    }
  }
  if (sources.sysconf) {
    const long processors = sources.sysconf(_SC_NPROCESSORS_ONLN);
    if (processors > 0)
      put(QStringLiteral("ncpu"), QString::number(processors));
    const long pages = sources.sysconf(_SC_PHYS_PAGES);
    const long pageSize = sources.sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
      put(QStringLiteral("ramMB"), QString::number(qint64(pages) * qint64(pageSize) / (1024 * 1024)));
  }
  if (sources.firstUILanguage)
    put(QStringLiteral("lang"), sources.firstUILanguage());
  put(QStringLiteral("appName"), sources.appName);
  put(QStringLiteral("appVersion"), sources.appVersion);
  return profile;
}

QString ZPHSystemProfile::descriptionOfProfile(const QVariantMap& profile)
{
  QStringList lines;
  for (auto it = profile.cbegin(); it != profile.cend(); ++it)
    lines.append(QStringLiteral("%1 = %2").arg(it.key(), it.value().toString()));
  return lines.join(u'\n');
}

QString ZPHMachineIdentifier() { return ZPHMachineIdentifierForMachineId(QSysInfo::machineUniqueId()); }

QString ZPHMachineIdentifierForMachineId(const QByteArray& machineUniqueId)
{
  if (machineUniqueId.isEmpty())
    return {};
  return QString::fromLatin1(
      QCryptographicHash::hash(machineUniqueId + MachineIdentifierSuffix, QCryptographicHash::Sha1).toHex());
}
