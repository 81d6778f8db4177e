// Postpeek's About box.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace postpeek {

class MailAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit MailAboutBox(QWidget* parent = nullptr);


protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* titleLabel = nullptr;  // "Dialtally EMail Checker"
    QLabel* versionLabel = nullptr;  // "Version 2.0"
    QPlainTextEdit* noticeText = nullptr;
    QPushButton* okButton = nullptr;  // "OK"
};

}  // namespace postpeek
