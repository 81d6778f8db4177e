#include "Help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform {

namespace {

// Opens the HTML help beside the help file in the desktop's browser; a missing
// document (or no browser) simply shows nothing.
class BrowserHelp : public Help {
public:
    void contents(const QString& helpFile) override { open(helpFile, QString()); }
    void context(const QString& helpFile, int contextNumber) override
    {
        open(helpFile, QStringLiteral("context-%1").arg(contextNumber));
    }
    void topic(const QString& helpFile, const QString& topicName) override
    {
        open(helpFile, topicName);
    }

private:
    static void open(const QString& helpFile, const QString& fragment)
    {
        const QString document = helpDocumentFor(helpFile);
        if (document.isEmpty() || !QFileInfo::exists(document))
            return;
        QUrl url = QUrl::fromLocalFile(document);
        if (!fragment.isEmpty())
            url.setFragment(fragment);
        QDesktopServices::openUrl(url);
    }
};

Help* g_help = nullptr;

}  // namespace

Help& help()
{
    static BrowserHelp real;
    return g_help ? *g_help : real;
}

void setHelp(Help* h)
{
    g_help = h;
}

QString helpDocumentFor(const QString& helpFile)
{
    if (helpFile.isEmpty())
        return {};
    const qsizetype slash = helpFile.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = helpFile.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash ? helpFile.left(dot) : helpFile;
    return base + QStringLiteral(".html");
}

}  // namespace platform
