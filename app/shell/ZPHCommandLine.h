#pragma once

// Qt kind: none (a value type).

#include <QtCore/QProcessEnvironment>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

// What the program is asked to do on its command line:
//
//   zephlin [--data-dir DIR] [--screenshot FILE [--screenshot-state STATE]]
//           [--help] [--version] [address|file...]
//
// With --data-dir (or, without it, a non-empty ZEPHLIN_DATA_DIR) everything
// lives in DIR: the data in DIR/data, the cache in DIR/cache and the
// settings below DIR. Without either, the user's standard folders.
struct ZPHCommandLine {
  // The root folder, absolute; empty for the standard folders.
  QString dataDirectory;
  // Where to write the window as a PNG once start-up has ended; empty for none.
  QString screenshotPath;
  // The state to bring the program into before that (ZPHScreenshotScript);
  // only with a screenshot. Absolute; empty for none.
  QString screenshotStatePath;
  bool helpRequested = false;
  bool versionRequested = false;
  // Arguments that are not options (addresses handed to the program).
  QStringList positionalArguments;

  QString dataFolder() const;      // DIR/data, or empty
  QString cacheFolder() const;     // DIR/cache, or empty
  QString settingsFolder() const;  // DIR, or empty

  // Answers nullopt and the message when the arguments cannot be used.
  // `arguments` starts with the program's name.
  static std::optional<ZPHCommandLine> parse(const QStringList& arguments, const QProcessEnvironment& environment,
                                             QString* errorMessage);
  static QString helpText();

  // The arguments main() was given. The application object takes Qt's own
  // options out of them, so these are read before it exists only to answer
  // --help and --version without a display.
  static QStringList argumentsOfMain(int argc, const char* const* argv);
  // Writes the help or the version to the standard output when either was
  // asked for, and answers whether it did (the program then ends).
  bool answerInformationRequest() const;
};
