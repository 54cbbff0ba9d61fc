#pragma once

// Shared by the fuzz programs: quiet logging and a check that stops the run
// with a finding (libFuzzer saves the input that caused it).

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Log lines of the code under test would drown libFuzzer's own output.
inline void zphFuzzSilenceLogging()
{
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

#define ZPH_FUZZ_CHECK(condition)                                                        \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

// The input as UTF-8 text (invalid sequences become U+FFFD).
inline QString zphFuzzUTF8(const std::uint8_t* data, std::size_t size)
{
  return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input read as raw UTF-16 code units, so that lone surrogates and NULs
// reach the code under test too.
inline QString zphFuzzUTF16(const std::uint8_t* data, std::size_t size)
{
  QString text(qsizetype(size / 2), Qt::Uninitialized);
  std::memcpy(text.data(), data, (size / 2) * 2);
  return text;
}
