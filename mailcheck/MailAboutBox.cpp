#include "MailAboutBox.h"
#include "WindowPlacement.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace mailcheck {

MailAboutBox::MailAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    // A dialog frame with the system menu only: no minimize, maximize or help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(248, 160);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);

    Label1 = new QLabel(QStringLiteral("Dialtally EMail Checker"), this);
    QFont title(QStringLiteral("Times New Roman"));
    title.setStyleHint(QFont::Serif);
    title.setPixelSize(16);
    title.setBold(true);
    Label1->setFont(title);
    QPalette maroon = Label1->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label1->setPalette(maroon);
    Label1->setGeometry(8, 8, 232, 22);
    Label1->setAlignment(Qt::AlignCenter);

    Label2 = new QLabel(QStringLiteral("Version 2.0"), this);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label2->setPalette(blue);
    Label2->setGeometry(8, 32, 232, 16);
    Label2->setAlignment(Qt::AlignCenter);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setPlainText(QStringLiteral(
        "This program is part of Dialtally 2.0. It lists the mail waiting in your POP3 mailboxes."));
    QPalette menu = Memo1->palette();
    menu.setColor(QPalette::Base, palette().color(QPalette::Button));
    Memo1->setPalette(menu);
    Memo1->setGeometry(8, 54, 232, 66);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    Button1->setGeometry(87, 128, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void MailAboutBox::Button1Click()
{
    accept();
}

void MailAboutBox::showEvent(QShowEvent* event)
{
    // Centred on the desktop, not on the main window, which may be hidden in the tray.
    platform::centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace mailcheck
