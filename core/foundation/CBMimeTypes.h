#pragma once

// MIME types: file suffixes and types of images, audio and video, the type
// of an enclosure or image named by its address, media kinds, and which
// URLs can be downloaded.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>

extern const QString CBTextHTMLSuffix;    // ".html"
extern const QString CBTextHTMLMimeType;  // "text/html"

extern const QString CBGIFSuffix;     // ".gif"
extern const QString CBJJPEGSUffix;   // ".jpg"
extern const QString CBPNGSuffix;     // ".png"
extern const QString CBGIFMimeType;   // "image/gif"
extern const QString CBJPEGMimeType;  // "image/jpeg"
extern const QString CBPNGMimeType;   // "image/png"

extern const QString CBAIFFSuffix;  // ".aiff"
extern const QString CBPLSSuffix;   // ".pls"
extern const QString CBM4ASuffix;   // ".m4a"
extern const QString CBM4VSuffix;   // ".m4v"
extern const QString CBMOVSuffix;   // ".mov"
extern const QString CBMP3Suffix;   // ".mp3"
extern const QString CBMP4Suffix;   // ".mp4"
extern const QString CBMPGSuffix;   // ".mpg"
extern const QString CBQTSuffix;    // ".qt"

extern const QString CBAudioAIFFMimeType;       // "audio/aiff"
extern const QString CBAudioMP3MimeType;        // "audio/mp3"
extern const QString CBAudioMP4MimeType;        // "audio/mp4"
extern const QString CBAudioMpegMimeType;       // "audio/mpeg"
extern const QString CBAudioMpgMimeType;        // "audio/mpg"
extern const QString CBAudioXM4AMimeType;       // "audio/x-m4a"
extern const QString CBAudioXM4VMimeType;       // "audio/x-m4v"
extern const QString CBAudioQuicktimeMimeType;  // "audio/quicktime"
extern const QString CBAudioPLSMimeType;        // "audio/x-scpls"

extern const QString CBVideoMP4MimeType;        // "video/mp4"
extern const QString CBVideoMpegMimeType;       // "video/mpeg"
extern const QString CBVideoMpgMimeType;        // "video/mpg"
extern const QString CBVideoQuicktimeMimeType;  // "video/quicktime"
extern const QString CBVideoXM4VMimeType;       // "video/x-m4v"

extern const QString CBURLSchemeHTTP;   // "http"
extern const QString CBURLSchemeHTTPS;  // "https"
extern const QString CBURLSchemeFeed;   // "feed"
extern const QString CBURLSchemeFile;   // "file"

extern const QString CBURLKey;  // "url"

// Media kinds of a MIME type.
enum CBMediaType : int {
  CBMediaTypeNone = 0,
  CBMediaTypeVideo = 1,
  CBMediaTypeAudio = 2,
  CBMediaTypeImage = 3,
  CBMediaTypeText = 4,
};

// The MIME type named by the address's suffix (compared case-sensitively,
// the query removed first): ".jpg", ".png", ".gif", ".mov", ".qt", ".mpg",
// ".mp4", ".aiff", ".mp3", ".m4a", ".m4v"; null for any other.
QString CBMimeTypeForURLString(const QString& urlString);

// The media kind by the type's prefix ("video/" or "x-video/", "audio/" or
// "x-audio/", "image/" or "x-image/", "text/" or "x-text/"); none for
// anything else.
CBMediaType CBMediaTypeForMimeType(const QString& mimeType);

// True when the data starts with the 8-byte PNG signature.
bool CBDataIsPNG(const QByteArray& data);

// True for the schemes "http", "https" and "feed" in any case.
bool CBURLIsDownloadable(const QUrl& url);

// True when the scheme is http or https (any case), whatever the rest.
bool CBURLHasWebScheme(const QUrl& url);

// A valid http or https address with a host: the only addresses taken from
// feeds and pages (images, icons, home pages) that are ever fetched.
bool CBURLIsWebURL(const QUrl& url);
