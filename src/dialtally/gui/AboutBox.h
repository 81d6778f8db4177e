// The About box: the logo, OK and Help.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);


    void okClicked();
    void helpClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* logo = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;
};
