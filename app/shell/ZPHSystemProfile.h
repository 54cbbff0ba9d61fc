#pragma once

// Qt kind: none (static functions).

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <functional>
#include <optional>

// A profile of this computer for feedback mail, as strings by key, each only
// when its source could be read: "osVersion" (the kernel release's
// "major.minor.patch"), "cpu64bit" ("1" on a 64-bit processor, else "0"),
// "model" (the machine's vendor and product from DMI), "ncpu" (processors
// online), "lang" (the first language of the user interface), "appName",
// "appVersion", "cpuFreqMHz" (the first processor's highest clock, else its
// current one) and "ramMB" (physical memory in MiB).
class ZPHSystemProfile {
public:
  // Where the profile's values come from; the computer's own unless a test
  // says otherwise.
  struct Sources {
    std::function<QString()> kernelRelease;
    // A small file's bytes (nullopt when it cannot be read).
    std::function<std::optional<QByteArray>(const QString& path)> readFile;
    std::function<long(int name)> sysconf;
    std::function<QString()> cpuArchitecture;
    std::function<QString()> firstUILanguage;
    QString appName;
    QString appVersion;
  };
  static Sources systemSources();

  static QVariantMap buildSystemProfileDictionary(const Sources& sources = systemSources());
  // "major.minor.patch" of a kernel release ("6.1.0-18-amd64" -> "6.1.0");
  // empty when it has not three numbers.
  static QString osVersionForKernelRelease(const QString& release);
  // The profile as text: "key = value" lines, sorted by key.
  static QString descriptionOfProfile(const QVariantMap& profile);
};

// The computer's identifier for reports: 40 lower-case hexadecimal digits,
// the SHA-1 of the machine id (QSysInfo::machineUniqueId()) and a fixed
// suffix; empty without a machine id (never one value for every computer).
QString ZPHMachineIdentifier();
// The same for a given machine id (empty: none).
QString ZPHMachineIdentifierForMachineId(const QByteArray& machineUniqueId);
