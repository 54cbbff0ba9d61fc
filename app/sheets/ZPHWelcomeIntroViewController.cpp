#include "sheets/ZPHWelcomeIntroViewController.h"

#include "sheets/ZPHWelcomeButton.h"
#include "sheets/ZPHWelcomeShadowTextField.h"
#include "sheets/ZPHWelcomeWindowController.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QVBoxLayout>

ZPHWelcomeIntroViewController::ZPHWelcomeIntroViewController(ZPHWelcomeWindowController* windowController)
    : ZPHWelcomeViewController(windowController)
{
  QWidget* view = makeView();
  view->setObjectName(QStringLiteral("WelcomeIntroView"));
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(60, 70, 60, 40);
  auto* heading = new ZPHWelcomeShadowTextField(tr("Welcome to Zephlin 4"), view);
  QFont big = heading->font();
  big.setPointSizeF(big.pointSizeF() * 1.9);
  big.setBold(true);
  heading->setFont(big);
  heading->setAlignment(Qt::AlignCenter);
  auto* text = new ZPHWelcomeShadowTextField(
      tr("Your sites from Zephlin 3 are on this computer. Zephlin 4 can bring them along."), view);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(heading);
  layout->addSpacing(16);
  layout->addWidget(text);
  layout->addStretch();
  auto* buttons = new QHBoxLayout();
  m_nextButton = new ZPHWelcomeButton(tr("Next"), ZPHWelcomeButton::Kind::Selected, view);
  m_nextButton->setObjectName(QStringLiteral("nextButton"));
  buttons->addStretch();
  buttons->addWidget(m_nextButton);
  buttons->addStretch();
  layout->addLayout(buttons);
  connect(m_nextButton, &QPushButton::clicked, this, &ZPHWelcomeIntroViewController::next);
  setInitialKeyView(m_nextButton);
}

void ZPHWelcomeIntroViewController::next()
{
  if (ZPHWelcomeWindowController* window = windowController())
    window->transitionToState(window->importState());
}
