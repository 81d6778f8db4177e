// The real help engine: which file it hands the desktop for the contents, a context and
// a topic, with the desktop's opener replaced by a recorder.
#include "platform/gui/Help.h"

#include "platform/gui/Application.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class Opened : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
}

class BrowserHelp : public ::testing::Test {
protected:
    BrowserHelp()
    {
        platform::setHelp(nullptr);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        helpFile = folder.filePath("Dialtally Help.hlp");
    }
    ~BrowserHelp() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QTemporaryDir folder;
    Opened opened;
    QString helpFile;
};

TEST_F(BrowserHelp, AContextOpensItsOwnPageWithNothingForTheOpenerToDrop)
{
    touch(folder.filePath("Dialtally Help.html"));
    touch(folder.filePath("Dialtally Help/context-13.html"));
    touch(folder.filePath("Dialtally Help/EMail_checker.html"));

    platform::help().context(helpFile, 13);
    platform::help().topic(helpFile, QStringLiteral("EMail_checker"));
    platform::help().contents(helpFile);

    ASSERT_EQ(opened.urls.size(), 3);
    EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(folder.filePath("Dialtally Help/context-13.html")));
    EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(folder.filePath("Dialtally Help/EMail_checker.html")));
    EXPECT_EQ(opened.urls[2], QUrl::fromLocalFile(folder.filePath("Dialtally Help.html")));
    for (const QUrl& url : opened.urls)
        EXPECT_FALSE(url.hasFragment()) << url.toString().toStdString();
}

TEST_F(BrowserHelp, WithoutItsPageAContextOpensTheDocumentAtItsAnchorAndWithoutADocumentNothing)
{
    platform::help().context(helpFile, 9);
    EXPECT_TRUE(opened.urls.isEmpty());

    touch(folder.filePath("Dialtally Help.html"));
    platform::help().context(helpFile, 9);
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0].toLocalFile(), folder.filePath("Dialtally Help.html"));
    EXPECT_EQ(opened.urls[0].fragment(), QStringLiteral("context-9"));
}

TEST_F(BrowserHelp, TheHelpersOpenTheApplicationsHelpFile)
{
    touch(folder.filePath("Dialtally Help/context-13.html"));
    touch(folder.filePath("Dialtally Help/EMail_checker.html"));
    platform::Application& application = platform::Application::instance();
    const QString before = application.helpFile();
    application.setHelpFile(helpFile);

    platform::showHelpContext(13);
    platform::showHelpTopic(QStringLiteral("EMail_checker"));
    application.setHelpFile(before);

    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(folder.filePath("Dialtally Help/context-13.html")));
    EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(folder.filePath("Dialtally Help/EMail_checker.html")));
}

}  // namespace

#include "HelpTest.moc"
