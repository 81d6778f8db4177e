#include "platform/gui/Help.h"

#include "platform/gui/Application.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QUrl>
#include <QWidget>

namespace platform {

namespace {

// Opens the HTML help beside the help file in the desktop's browser; a missing
// document (or no browser) simply shows nothing.
class BrowserHelp : public Help {
public:
    void contents(const QString& helpFile) override { open(helpFile, QString()); }
    void context(const QString& helpFile, int contextNumber) override
    {
        open(helpFile, helpContextTopic(contextNumber));
    }
    void topic(const QString& helpFile, const QString& topicName) override { open(helpFile, topicName); }

private:
    static void open(const QString& helpFile, const QString& topic)
    {
        // xdg-open without a desktop environment hands the browser the bare path and
        // drops "#topic"; a page of the topic's own needs no fragment. A document
        // copied without its pages still opens, at the anchor where the opener keeps it.
        if (!topic.isEmpty()) {
            const QString page = helpTopicPageFor(helpFile, topic);
            if (!page.isEmpty() && QFileInfo(page).isFile()) {
                QDesktopServices::openUrl(QUrl::fromLocalFile(page));
                return;
            }
        }
        const QString document = helpDocumentFor(helpFile);
        if (document.isEmpty() || !QFileInfo::exists(document))
            return;
        QUrl url = QUrl::fromLocalFile(document);
        if (!topic.isEmpty())
            url.setFragment(topic);
        QDesktopServices::openUrl(url);
    }
};

// Sees F1 once the focused control has passed it on to its window, as a dialog's
// own help key does.
class HelpKey : public QObject {
public:
    HelpKey(QWidget* window, int contextNumber)
        : QObject(window)
        , m_context(contextNumber)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
                guard([this] { showHelpContext(m_context); });
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    int m_context;
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

void showHelpContents()
{
    help().contents(Application::instance().helpFile());
}

void showHelpContext(int contextNumber)
{
    help().context(Application::instance().helpFile(), contextNumber);
}

void showHelpTopic(const QString& topicName)
{
    help().topic(Application::instance().helpFile(), topicName);
}

void openHelpContextOnF1(QWidget* window, int contextNumber)
{
    new HelpKey(window, contextNumber);
}

}  // namespace platform
