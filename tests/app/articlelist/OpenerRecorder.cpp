#include "app/articlelist/OpenerRecorder.h"

#include <QtGui/QDesktopServices>

OpenerRecorder::OpenerRecorder(const QStringList& schemes) : m_schemes(schemes)
{
  for (const QString& scheme : m_schemes) QDesktopServices::setUrlHandler(scheme, this, "open");
}

OpenerRecorder::~OpenerRecorder()
{
  for (const QString& scheme : m_schemes) QDesktopServices::unsetUrlHandler(scheme);
}

void OpenerRecorder::open(const QUrl& url) { opened.append(url); }
