#include "AboutBox.h"

#include "Application.h"
#include "Help.h"
#include "SplashWindow.h"

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
    setObjectName(QStringLiteral("AboutBox"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(354, 402);

    auto* layout = new QVBoxLayout(this);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setPixmap(dialtallyLogo());
    Image1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Image1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn3 = new QPushButton(QStringLiteral("&Help"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn3);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &AboutBox::BitBtn1Click));
    connect(BitBtn3, &QPushButton::clicked, this, platform::guarded(this, &AboutBox::BitBtn3Click));
    platform::openHelpContextOnF1(this, kHelpContext);
}

void AboutBox::BitBtn1Click()
{
    done(1);
}

void AboutBox::BitBtn3Click()
{
    platform::help().context(platform::Application::instance().helpFile(), kHelpContext);
}

void AboutBox::showEvent(QShowEvent* e)
{
    centreOnScreen(*this);
    QDialog::showEvent(e);
}
