#include "shell/ZPHLaunchArguments.h"

#include "common/ZPHIncomingAddress.h"
#include "common/ZPHShellLog.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QUrl>

#include <optional>

namespace {

void ignore(const QString& argument, const char* why)
{
  qCWarning(zphShell).noquote() << "ignored the argument" << ZPHIncomingAddress::withoutUserInfo(argument).left(200)
                                << "-" << why;
}

std::optional<QString> existingFile(const QString& path)
{
  const QFileInfo info(path);
  if (!info.isAbsolute() || !info.isFile())
    return std::nullopt;
  return QDir::cleanPath(info.absoluteFilePath());
}

}  // namespace

QList<ZPHLaunchRequest> ZPHLaunchArguments::requestsForArguments(const QStringList& arguments,
                                                                 const QString& workingDirectory)
{
  using Kind = ZPHLaunchRequest::Kind;
  QList<ZPHLaunchRequest> requests;
  if (arguments.size() > MostArguments)
    qCWarning(zphShell) << "only the first" << MostArguments << "of" << arguments.size() << "arguments are read";
  for (const QString& argument : arguments.mid(0, MostArguments)) {
    if (argument.isEmpty())
      continue;
    if (argument.size() > LongestArgument) {
      ignore(QString(), "too long");
      continue;
    }
    const QString scheme = QUrl(argument).scheme().toLower();
    if (scheme == QLatin1String("feed") || scheme == QLatin1String("zephlin")) {
      requests.append({Kind::GetURL, argument});
      continue;
    }
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
      requests.append({Kind::AddFeedURL, argument});
      continue;
    }
    if (scheme == QLatin1String("file")) {
      const QUrl url(argument);
      const std::optional<QString> path =
          url.isLocalFile() && url.host().isEmpty() ? existingFile(url.toLocalFile()) : std::nullopt;
      if (path)
        requests.append({Kind::OpenFile, *path});
      else
        ignore(argument, "no such local file");
      continue;
    }
    // A path, absolute or from the working directory.
    const bool absolute = QFileInfo(argument).isAbsolute();
    if (!absolute && !QFileInfo(workingDirectory).isAbsolute()) {
      ignore(argument, "a relative path without a working directory");
      continue;
    }
    const std::optional<QString> path = existingFile(absolute ? argument : QDir(workingDirectory).filePath(argument));
    if (path)
      requests.append({Kind::OpenFile, *path});
    else
      ignore(argument, "neither a feed address nor a file");
  }
  return requests;
}
