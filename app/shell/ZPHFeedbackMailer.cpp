#include "shell/ZPHFeedbackMailer.h"

#include <QtGui/QDesktopServices>

const QString ZPHFeedbackMailer::FeedbackRecipient = QStringLiteral("support@fernhollow.com");

ZPHFeedbackMailer::ZPHFeedbackMailer(const QString& subject, const QString& body) : m_subject(subject), m_body(body)
{
  Q_ASSERT_X(!subject.isNull(), Q_FUNC_INFO, "Invalid parameter not satisfying: subject");
  Q_ASSERT_X(!body.isNull(), Q_FUNC_INFO, "Invalid parameter not satisfying: body");
}

ZPHFeedbackMailer ZPHFeedbackMailer::defaultFeedbackMailer()
{
  return ZPHFeedbackMailer(QStringLiteral("Zephlin Feedback"),
                           QStringLiteral("Thanks for helping us make Zephlin better."));
}

QUrl ZPHFeedbackMailer::mailtoURL() const
{
  const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(FeedbackRecipient, "@") +
                             "?subject=" + QUrl::toPercentEncoding(m_subject) +
                             "&body=" + QUrl::toPercentEncoding(m_body);
  return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

bool ZPHFeedbackMailer::send(const URLOpener& open) const
{
  const QUrl url = mailtoURL();
  return open ? open(url) : QDesktopServices::openUrl(url);
}

bool ZPHFeedbackMailer::sendFeedbackWithSubject(const QString& subject, const QString& body, const URLOpener& open)
{
  return ZPHFeedbackMailer(subject, body).send(open);
}
