// Postpeek's About box.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace mailcheck {

class MailAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit MailAboutBox(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;  // "Dialtally EMail Checker"
    QLabel* Label2 = nullptr;  // "Version 2.0"
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;  // "OK"

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace mailcheck
