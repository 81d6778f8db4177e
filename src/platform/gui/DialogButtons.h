// The row of a dialog's closing buttons (OK, Cancel, Help, ...) as a QDialogButtonBox
// that keeps the order the buttons are added in, the order the dialogs were designed
// with. Qt would otherwise order the row by the desktop's custom (Cancel before OK on
// GNOME, Help to the far left on KDE).
#pragma once

#include <QDialogButtonBox>

class QPushButton;

namespace platform {

class DialogButtons : public QDialogButtonBox {
    Q_OBJECT
public:
    // `centred`: the buttons stand in the middle of the row, else at its right end.
    explicit DialogButtons(QWidget* parent, bool centred = false);

    // Adds a button with this caption, named `objectName`, after those added before.
    QPushButton* add(const QString& caption, ButtonRole role, const char* objectName);
};

// The "OK", "Cancel" and "&Help" row, with OK as the default button (Enter).
DialogButtons* okCancelHelpRow(QWidget* dialog, QPushButton*& ok, QPushButton*& cancel, QPushButton*& help,
                               bool centred = false);

}  // namespace platform
