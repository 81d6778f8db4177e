// The About box: the logo, OK and Help.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "OK"
    QPushButton* BitBtn3 = nullptr;  // "&Help"

    void BitBtn1Click();
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* event) override;
};
