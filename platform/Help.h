// The help engine: a help file opened at its contents, a context number or a topic.
// The real one opens the HTML document of the help file's base name beside it.
#pragma once

#include <QString>

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

// "/opt/x/Dialtally Help.hlp" -> "/opt/x/Dialtally Help.html"
QString helpDocumentFor(const QString& helpFile);

}  // namespace platform
