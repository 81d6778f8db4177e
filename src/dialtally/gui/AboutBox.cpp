#include "dialtally/gui/AboutBox.h"

#include "platform/gui/Application.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "dialtally/gui/SplashWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kHelpContext = 5;
}

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(354, 402);

    auto* layout = new QVBoxLayout(this);
    logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo, 1);

    auto* buttons = new platform::DialogButtons(this, true);
    okButton = buttons->add(QStringLiteral("OK"), QDialogButtonBox::AcceptRole, "okButton");
    okButton->setDefault(true);
    helpButton = buttons->add(QStringLiteral("&Help"), QDialogButtonBox::HelpRole, "helpButton");
    layout->addWidget(buttons);

    connect(okButton, &QPushButton::clicked, this, platform::guarded(this, &AboutBox::okClicked));
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &AboutBox::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
}

void AboutBox::okClicked()
{
    done(1);
}

void AboutBox::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}

// The logo is drawn while the box is shown: the box lives as long as the program, and
// is seldom opened.
void AboutBox::showEvent(QShowEvent* e)
{
    if (logo->pixmap().isNull())
        logo->setPixmap(dialtallyLogo());
    centreOnScreen(*this);
    QDialog::showEvent(e);
}

void AboutBox::hideEvent(QHideEvent* e)
{
    logo->clear();
    QDialog::hideEvent(e);
}
