#include "platform/gui/DialogButtons.h"

#include <QApplication>
#include <QProxyStyle>
#include <QPushButton>

namespace platform {

namespace {

// The box asks its style for the order of the roles; this style answers with the one
// order in which the accept, reject and help roles come as the dialogs add them. Only
// the box itself uses it: its buttons keep the application's style.
class AddedOrderStyle : public QProxyStyle {
public:
    AddedOrderStyle()
        : QProxyStyle(QApplication::style()->name())
    { }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

DialogButtons::DialogButtons(QWidget* parent, bool centred)
    : QDialogButtonBox(parent)
{
    setObjectName(QStringLiteral("dialogButtons"));
    auto* style = new AddedOrderStyle;
    style->setParent(this);
    setStyle(style);
    setCenterButtons(centred);
}

QPushButton* DialogButtons::add(const QString& caption, ButtonRole role, const char* objectName)
{
    QPushButton* button = addButton(caption, role);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

DialogButtons* okCancelHelpRow(QWidget* dialog, QPushButton*& ok, QPushButton*& cancel, QPushButton*& help,
                               bool centred)
{
    auto* row = new DialogButtons(dialog, centred);
    ok = row->add(QStringLiteral("OK"), QDialogButtonBox::AcceptRole, "okButton");
    ok->setDefault(true);
    cancel = row->add(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole, "cancelButton");
    help = row->add(QStringLiteral("&Help"), QDialogButtonBox::HelpRole, "helpButton");
    return row;
}

}  // namespace platform
