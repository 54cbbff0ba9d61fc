#include "articlelist/ZPHSearchField.h"

#include "kit/ZPHIndeterminateProgressIndicator.h"

#include <QtCore/QTimer>

#include <cmath>

ZPHSearchField::ZPHSearchField(QWidget* parent) : QLineEdit(parent)
{
  setObjectName(QStringLiteral("ZPHSearchField"));
  setPlaceholderText(tr("Search"));
  setClearButtonEnabled(true);
  m_spinner = new ZPHIndeterminateProgressIndicator(this);
  m_spinner->hide();
  m_delay = new QTimer(this);
  m_delay->setSingleShot(true);
  m_delay->setInterval(SpinnerDelay);
  connect(m_delay, &QTimer::timeout, this, [this] {
    m_spinner->show();
    m_spinner->startProgressAnimation();
  });
  m_spinner->setGeometry(spinnerFrame(size()));
}

QRect ZPHSearchField::spinnerFrame(const QSize& field)
{
  return QRect(field.width() - (19 + 16), int(std::lround((field.height() - 16) / 2.0)), 16, 16);
}

void ZPHSearchField::startProgressIndicatorAnimation()
{
  m_delay->stop();
  m_delay->start();
}

void ZPHSearchField::stopProgressIndicatorAnimation()
{
  m_delay->stop();
  m_spinner->stopProgressAnimation();
  m_spinner->hide();
}

bool ZPHSearchField::isSpinnerShown() const { return !m_spinner->isHidden(); }

bool ZPHSearchField::isSpinnerPending() const { return m_delay->isActive(); }

void ZPHSearchField::resizeEvent(QResizeEvent* event)
{
  QLineEdit::resizeEvent(event);
  m_spinner->setGeometry(spinnerFrame(size()));
}
