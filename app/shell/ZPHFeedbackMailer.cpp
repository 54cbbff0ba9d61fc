#include "shell/ZPHFeedbackMailer.h"

#include "shell/ZPHSystemProfile.h"

#include <QtGui/QDesktopServices>

const QString ZPHFeedbackMailer::FeedbackRecipient = QStringLiteral("support@fernhollow.com");

ZPHFeedbackMailer::ZPHFeedbackMailer(const QString& subject, const QString& body, bool includeSystemInformation,
                                     const QVariantMap& systemProfile)
    : m_subject(subject),
      m_body(body),
      m_includeSystemInformation(includeSystemInformation),
      m_systemProfile(systemProfile)
{
  Q_ASSERT_X(!subject.isNull(), Q_FUNC_INFO, "Invalid parameter not satisfying: subject");
  Q_ASSERT_X(!body.isNull(), Q_FUNC_INFO, "Invalid parameter not satisfying: body");
  if (m_includeSystemInformation && m_systemProfile.isEmpty())
    m_systemProfile = ZPHSystemProfile::buildSystemProfileDictionary();
}

ZPHFeedbackMailer ZPHFeedbackMailer::defaultFeedbackMailer() { return defaultFeedbackMailerWithProfile({}); }

ZPHFeedbackMailer ZPHFeedbackMailer::defaultFeedbackMailerWithProfile(const QVariantMap& systemProfile)
{
  return ZPHFeedbackMailer(QStringLiteral("Zephlin Feedback"),
                           QStringLiteral("Thanks for helping us make Zephlin better."), true, systemProfile);
}

QString ZPHFeedbackMailer::systemInformationBlock(const QVariantMap& systemProfile)
{
  return QStringLiteral(
             "+++++++++ Your Feedback +++++++++\n\n\n\n+++++++++ Your System Information +++++++++\n\n"
             "Providing the following system information is optional, but it can be helpful with troubleshooting "
             "any problems that you are reporting.\n") +
         ZPHSystemProfile::descriptionOfProfile(systemProfile);
}

QString ZPHFeedbackMailer::fullBody() const
{
  if (!m_includeSystemInformation)
    return m_body;
  return m_body + QStringLiteral("\n\n") + systemInformationBlock(m_systemProfile);
}

QUrl ZPHFeedbackMailer::mailtoURL() const
{
  const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(FeedbackRecipient, "@") +
                             "?subject=" + QUrl::toPercentEncoding(m_subject) +
                             "&body=" + QUrl::toPercentEncoding(fullBody());
  return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

bool ZPHFeedbackMailer::send(const URLOpener& open) const
{
  const QUrl url = mailtoURL();
  return open ? open(url) : QDesktopServices::openUrl(url);
}

bool ZPHFeedbackMailer::sendFeedbackWithSubject(const QString& subject, const QString& body,
                                                bool includeSystemInformation, const URLOpener& open)
{
  return ZPHFeedbackMailer(subject, body, includeSystemInformation).send(open);
}
