// Modal message boxes. Every box of both programs is shown through messageBox(),
// so tests can record and answer them. The text is plain text: what it quotes from
// outside (names, file names, a server's reply) is never taken for markup.
#pragma once

#include <QString>

class QWidget;

namespace platform {

enum class MessageIcon { None, Error, Exclamation, Question, Information };
enum class MessageButtons { Ok, YesNo };

// What the user answered: Ok to a box with OK alone; a Yes/No box closed by its close
// box answers No, since that is no confirmation.
enum class Answer { Ok, Yes, No };

// Which window owns the box: the application's own window, none (a top-level box),
// or a given window.
enum class MessageOwner { Application, None, Window };

struct MessageRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageOwner owner = MessageOwner::Application;
    QWidget* window = nullptr;  // with MessageOwner::Window
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual Answer show(const MessageRequest& request) = 0;
};

// The window a real box is shown over: the given window, or for the application the
// modal dialog that is open, else the main window; none while that window is hidden.
QWidget* messageBoxOwner(const MessageRequest& request);

MessageBoxes& messageBoxes();
void setMessageBoxes(MessageBoxes* boxes);  // nullptr restores the real ones

Answer messageBox(const QString& text, const QString& caption, MessageIcon icon,
                  MessageButtons buttons = MessageButtons::Ok, MessageOwner owner = MessageOwner::Application,
                  QWidget* window = nullptr);

}  // namespace platform
