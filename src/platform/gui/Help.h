// The help engine: a help file opened at its contents, a context number or a topic.
// The real one opens the HTML document of the help file's base name beside it, and a
// topic at its own page in the folder of that base name, so that no opener has to keep
// a URL fragment.
#pragma once

#include "platform/core/HelpPaths.h"

#include <QString>

class QWidget;

namespace platform {

class Help {
public:
    virtual ~Help() = default;
    virtual void contents(const QString& helpFile) = 0;
    virtual void context(const QString& helpFile, int contextNumber) = 0;
    virtual void topic(const QString& helpFile, const QString& topicName) = 0;
};

Help& help();
void setHelp(Help* help);  // nullptr restores the real one

// The application's help file, opened at its contents, at a context number or at a
// named topic: what every Help command, button and help key of the programs opens.
void showHelpContents();
void showHelpContext(int contextNumber);
void showHelpTopic(const QString& topicName);

// F1 anywhere in window opens contextNumber of the application's help file.
void openHelpContextOnF1(QWidget* window, int contextNumber);

}  // namespace platform
