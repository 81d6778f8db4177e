#include "postpeek/gui/MailAboutBox.h"
#include "platform/gui/WindowPlacement.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace postpeek {

MailAboutBox::MailAboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("mailAboutBox"));
    setWindowTitle(QStringLiteral("About"));
    // A dialog frame with the system menu only: no minimize, maximize or help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(248, 160);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);

    titleLabel = new QLabel(QStringLiteral("Dialtally EMail Checker"), this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont title(QStringLiteral("Times New Roman"));
    title.setStyleHint(QFont::Serif);
    title.setPixelSize(16);
    title.setBold(true);
    titleLabel->setFont(title);
    QPalette maroon = titleLabel->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    titleLabel->setPalette(maroon);
    titleLabel->setGeometry(8, 8, 232, 22);
    titleLabel->setAlignment(Qt::AlignCenter);

    versionLabel = new QLabel(QStringLiteral("Version 2.0"), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    QPalette blue = versionLabel->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    versionLabel->setPalette(blue);
    versionLabel->setGeometry(8, 32, 232, 16);
    versionLabel->setAlignment(Qt::AlignCenter);

    noticeText = new QPlainTextEdit(this);
    noticeText->setObjectName(QStringLiteral("noticeText"));
    noticeText->setReadOnly(true);
    noticeText->setPlainText(
        QStringLiteral("This program is part of Dialtally 2.0. It lists the mail waiting in your POP3 mailboxes."));
    QPalette menu = noticeText->palette();
    menu.setColor(QPalette::Base, palette().color(QPalette::Button));
    noticeText->setPalette(menu);
    noticeText->setGeometry(8, 54, 232, 66);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    okButton->setGeometry(87, 128, 75, 25);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void MailAboutBox::showEvent(QShowEvent* event)
{
    // Centred on the desktop, not on the main window, which may be hidden in the tray.
    platform::centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace postpeek
