#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

// What the addresses and files on a command line (the program's own, or a
// later launch's handed over to it) ask for. The desktop starts the program
// with feed: and zephlin: addresses, with http and https addresses (the
// scripting command's way to add a feed) and with files to open (OPML
// subscription lists), as paths or file: URLs.
struct ZPHLaunchRequest {
  enum class Kind {
    GetURL,      // a feed: or zephlin: address: subscribe (see ZPHIncomingAddress)
    AddFeedURL,  // an http or https address: the scripting command's request to add it
    OpenFile     // an absolute path of an existing file
  };
  Kind kind;
  QString value;

  bool operator==(const ZPHLaunchRequest&) const = default;
};

class ZPHLaunchArguments {
public:
  // At most this many arguments are read, each at most this long.
  static constexpr int MostArguments = 64;
  static constexpr int LongestArgument = 8192;

  // The requests of the arguments, in order. A relative path is taken from
  // `workingDirectory` (which must be absolute for it). Arguments that ask
  // for nothing of the above (another scheme, a missing file, a folder)
  // are ignored and logged.
  static QList<ZPHLaunchRequest> requestsForArguments(const QStringList& arguments, const QString& workingDirectory);
};
