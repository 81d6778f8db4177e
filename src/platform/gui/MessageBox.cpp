#include "platform/gui/MessageBox.h"

#include "platform/gui/Application.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

class RealMessageBoxes : public MessageBoxes {
public:
    Answer show(const MessageRequest& request) override
    {
        QWidget* parent = messageBoxOwner(request);
        QMessageBox box(iconOf(request.icon), request.caption, request.text, QMessageBox::NoButton, parent);
        // The text carries names and replies from outside (a provider, a file, a
        // server's answer): shown as they are, never read as markup.
        box.setTextFormat(Qt::PlainText);
        if (request.buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        if (request.owner == MessageOwner::None)
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
        const int answer = box.exec();
        if (answer == QMessageBox::Yes)
            return Answer::Yes;
        if (answer == QMessageBox::No)
            return Answer::No;
        if (request.buttons == MessageButtons::YesNo)
            return Answer::No;  // closed by its close box: not a confirmation
        return Answer::Ok;
    }

private:
    static QMessageBox::Icon iconOf(MessageIcon icon)
    {
        switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
};

MessageBoxes* g_boxes = nullptr;

}  // namespace

QWidget* messageBoxOwner(const MessageRequest& request)
{
    QWidget* parent = nullptr;
    if (request.owner == MessageOwner::Window) {
        parent = request.window;
    } else if (request.owner == MessageOwner::Application) {
        // A box raised while a modal dialog is open comes from that dialog: it belongs
        // to it and is centred on it, and the main window stays behind the dialog.
        parent = QApplication::activeModalWidget();
        if (!parent)
            parent = Application::instance().mainWindow();
    }
    if (parent && !parent->isVisible())
        parent = nullptr;  // a box owned by a hidden window would not show
    return parent;
}

MessageBoxes& messageBoxes()
{
    static RealMessageBoxes real;
    return g_boxes ? *g_boxes : real;
}

void setMessageBoxes(MessageBoxes* boxes)
{
    g_boxes = boxes;
}

Answer messageBox(const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons,
                  MessageOwner owner, QWidget* window)
{
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.buttons = buttons;
    request.owner = owner;
    request.window = window;
    return messageBoxes().show(request);
}

}  // namespace platform
