#include "foundation/CBMimeTypes.h"

#include "foundation/CBData.h"
#include "foundation/CBString.h"

const QString CBTextHTMLSuffix = QStringLiteral(".html");
const QString CBTextHTMLMimeType = QStringLiteral("text/html");

const QString CBGIFSuffix = QStringLiteral(".gif");
const QString CBJJPEGSUffix = QStringLiteral(".jpg");
const QString CBPNGSuffix = QStringLiteral(".png");
const QString CBGIFMimeType = QStringLiteral("image/gif");
const QString CBJPEGMimeType = QStringLiteral("image/jpeg");
const QString CBPNGMimeType = QStringLiteral("image/png");

const QString CBAIFFSuffix = QStringLiteral(".aiff");
const QString CBPLSSuffix = QStringLiteral(".pls");
const QString CBM4ASuffix = QStringLiteral(".m4a");
const QString CBM4VSuffix = QStringLiteral(".m4v");
const QString CBMOVSuffix = QStringLiteral(".mov");
const QString CBMP3Suffix = QStringLiteral(".mp3");
const QString CBMP4Suffix = QStringLiteral(".mp4");
const QString CBMPGSuffix = QStringLiteral(".mpg");
const QString CBQTSuffix = QStringLiteral(".qt");

const QString CBAudioAIFFMimeType = QStringLiteral("audio/aiff");
const QString CBAudioMP3MimeType = QStringLiteral("audio/mp3");
const QString CBAudioMP4MimeType = QStringLiteral("audio/mp4");
const QString CBAudioMpegMimeType = QStringLiteral("audio/mpeg");
const QString CBAudioMpgMimeType = QStringLiteral("audio/mpg");
const QString CBAudioXM4AMimeType = QStringLiteral("audio/x-m4a");
const QString CBAudioXM4VMimeType = QStringLiteral("audio/x-m4v");
const QString CBAudioQuicktimeMimeType = QStringLiteral("audio/quicktime");
const QString CBAudioPLSMimeType = QStringLiteral("audio/x-scpls");

const QString CBVideoMP4MimeType = QStringLiteral("video/mp4");
const QString CBVideoMpegMimeType = QStringLiteral("video/mpeg");
const QString CBVideoMpgMimeType = QStringLiteral("video/mpg");
const QString CBVideoQuicktimeMimeType = QStringLiteral("video/quicktime");
const QString CBVideoXM4VMimeType = QStringLiteral("video/x-m4v");

const QString CBURLSchemeHTTP = QStringLiteral("http");
const QString CBURLSchemeHTTPS = QStringLiteral("https");
const QString CBURLSchemeFeed = QStringLiteral("feed");
const QString CBURLSchemeFile = QStringLiteral("file");

const QString CBURLKey = QStringLiteral("url");

QString CBMimeTypeForURLString(const QString& urlString)
{
  const QString path = cb_stringByStrippingURLQuery(urlString);
  struct SuffixType {
    const QString& suffix;
    const QString& mimeType;
  };
  const SuffixType table[] = {
      {CBJJPEGSUffix, CBJPEGMimeType},        {CBPNGSuffix, CBPNGMimeType},
      {CBGIFSuffix, CBGIFMimeType},           {CBMOVSuffix, CBVideoQuicktimeMimeType},
      {CBQTSuffix, CBVideoQuicktimeMimeType}, {CBMPGSuffix, CBVideoMpegMimeType},
      {CBMP4Suffix, CBVideoMP4MimeType},      {CBAIFFSuffix, CBAudioAIFFMimeType},
      {CBMP3Suffix, CBAudioMP3MimeType},      {CBM4ASuffix, CBAudioXM4AMimeType},
      {CBM4VSuffix, CBVideoXM4VMimeType},
  };
  for (const SuffixType& entry : table) {
    if (path.endsWith(entry.suffix, Qt::CaseSensitive))
      return entry.mimeType;
  }
  return {};
}

CBMediaType CBMediaTypeForMimeType(const QString& mimeType)
{
  if (mimeType.isEmpty())
    return CBMediaTypeNone;
  struct PrefixKind {
    const char* prefix;
    const char* xPrefix;
    CBMediaType kind;
  };
  static const PrefixKind table[] = {
      {"video/", "x-video/", CBMediaTypeVideo},
      {"audio/", "x-audio/", CBMediaTypeAudio},
      {"image/", "x-image/", CBMediaTypeImage},
      {"text/", "x-text/", CBMediaTypeText},
  };
  for (const PrefixKind& entry : table) {
    if (mimeType.startsWith(QLatin1String(entry.prefix)) || mimeType.startsWith(QLatin1String(entry.xPrefix)))
      return entry.kind;
  }
  return CBMediaTypeNone;
}

bool CBDataIsPNG(const QByteArray& data) { return dataIsPNG(data); }

bool CBURLIsDownloadable(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme == CBURLSchemeHTTP || scheme == CBURLSchemeHTTPS || scheme == CBURLSchemeFeed;
}

bool CBURLHasWebScheme(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme == CBURLSchemeHTTP || scheme == CBURLSchemeHTTPS;
}

bool CBURLIsWebURL(const QUrl& url) { return url.isValid() && !url.host().isEmpty() && CBURLHasWebScheme(url); }
