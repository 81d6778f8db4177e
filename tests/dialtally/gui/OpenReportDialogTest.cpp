// The Open report dialog: the reports folder, the list, the editor and its start, and
// the deletion of every report.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/SessionProbe.h"

#include "common/RegistryNames.h"
#include "dialtally/gui/OpenReportDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

using testing_support::control;

using platform::RootKey;
using testing_support::TestEnvironment;
namespace rk = regkeys;

namespace {

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList listed(const OpenReportDialog& dialog)
{
    QStringList names;
    for (int i = 0; i < control<QListWidget>(dialog, "reportList")->count(); ++i)
        names << control<QListWidget>(dialog, "reportList")->item(i)->text();
    return names;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

class OpenReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No editor read yet, as at program start.
        reports::EditorPath.clear();
        SessionProbe::programPath(main.session()) = env.programFolder();
        // The per-user key as start-up leaves it.
        testing_support::writeInt(RootKey::CurrentUser, q(rk::kSoftware), q(rk::vLogo), 0);
        reports = env.programFolder() + "/Reports";
    }
    void TearDown() override { reports::setEditorChooser({}); }

    void select(OpenReportDialog& dialog, const QString& name)
    {
        const auto items = control<QListWidget>(dialog, "reportList")->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        control<QListWidget>(dialog, "reportList")->setCurrentItem(items.first());
    }

    QString editorValue() const
    {
        return testing_support::readStr(RootKey::CurrentUser, q(rk::kSoftware), q(rk::vEditor));
    }

    TestEnvironment env;
    MainWindow main;
    QString reports;
};

TEST_F(OpenReportTest, CreationMakesTheFolderAndDefaultsTheEditor)
{
    ASSERT_FALSE(QDir(reports).exists());
    OpenReportDialog dialog(main.session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Open report"));
    EXPECT_TRUE(QDir(reports).exists());
    EXPECT_EQ(editorValue(), QStringLiteral("notepad.exe"));
    EXPECT_EQ(reports::EditorPath, QStringLiteral("notepad.exe"));
    EXPECT_EQ(control<QListWidget>(dialog, "reportList")->count(), 0);
}

TEST_F(OpenReportTest, AStoredEditorIsKept)
{
    testing_support::writeStr(RootKey::CurrentUser, q(rk::kSoftware), q(rk::vEditor), QStringLiteral("/usr/bin/vi"));
    OpenReportDialog dialog(main.session());
    EXPECT_EQ(reports::EditorPath, QStringLiteral("/usr/bin/vi"));
    EXPECT_EQ(editorValue(), QStringLiteral("/usr/bin/vi"));
}

TEST_F(OpenReportTest, ListsOrdinaryReportsAndRereadsOnActivation)
{
    QDir().mkpath(reports + "/old.rpt");  // a folder, not a report
    touch(reports + "/1999-5-3.rpt");
    touch(reports + "/notes.txt");
    touch(reports + "/.hidden.rpt");
    OpenReportDialog dialog(main.session());
    EXPECT_EQ(listed(dialog), QStringList{"1999-5-3.rpt"});

    // A report written by the main window while the program runs shows at the next
    // activation; the one chosen stays chosen.
    select(dialog, QStringLiteral("1999-5-3.rpt"));
    ASSERT_TRUE(main.session().writeReport(2000, 1, 2));
    dialog.FormCreate();
    EXPECT_EQ(listed(dialog), (QStringList{"1999-5-3.rpt", "2000-1-2.rpt"}));
    EXPECT_EQ(dialog.selectedReport(), QStringLiteral("1999-5-3.rpt"));
}

TEST_F(OpenReportTest, OpenStartsTheEditorOnTheSelectedReport)
{
    QDir().mkpath(reports);
    touch(reports + "/2000-1-2.rpt");
    OpenReportDialog dialog(main.session());

    dialog.openClicked();  // nothing selected
    EXPECT_TRUE(env.processes.started.empty());
    EXPECT_TRUE(env.boxes.shown.empty());

    select(dialog, QStringLiteral("2000-1-2.rpt"));
    const QString file = reports + "/2000-1-2.rpt";
    struct Case {
        QString editor;
        QString program;
        QStringList arguments;
    } cases[] = {
        {QStringLiteral("notepad.exe"), QStringLiteral("notepad.exe"), {file}},
        {QStringLiteral("gedit --new-window"), QStringLiteral("gedit"), {QStringLiteral("--new-window"), file}},
        {QStringLiteral("\"/opt/My Editor/ed\" -w"), QStringLiteral("/opt/My Editor/ed"), {QStringLiteral("-w"), file}},
    };
    for (const auto& c : cases) {
        env.processes.started.clear();
        reports::EditorPath = c.editor;
        dialog.openClicked();
        ASSERT_EQ(env.processes.started.size(), 1u) << c.editor.toStdString();
        EXPECT_EQ(env.processes.started[0].program, c.program);
        EXPECT_EQ(env.processes.started[0].arguments, c.arguments);
    }
    EXPECT_TRUE(env.boxes.shown.empty());

    // A picked editor whose own path has a space is started as it stands.
    const QString spaced = env.programFolder() + "/my editor";
    touch(spaced);
    env.processes.started.clear();
    reports::EditorPath = spaced;
    dialog.openClicked();
    ASSERT_EQ(env.processes.started.size(), 1u);
    EXPECT_EQ(env.processes.started[0].program, spaced);
    EXPECT_EQ(env.processes.started[0].arguments, QStringList{file});
}

TEST_F(OpenReportTest, AnEditorThatFailsSaysSoAndAnotherCanBeChosen)
{
    QDir().mkpath(reports);
    touch(reports + "/2000-1-2.rpt");
    OpenReportDialog dialog(main.session());
    select(dialog, QStringLiteral("2000-1-2.rpt"));
    env.processes.failing << QStringLiteral("notepad.exe");

    dialog.openClicked();
    EXPECT_TRUE(env.processes.started.empty());
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Can't launch the program : notepad.exe"));
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);

    // An unbalanced quote names no program: the same error, nothing started.
    env.boxes.clear();
    reports::EditorPath = QStringLiteral("\"ed");
    dialog.openClicked();
    EXPECT_EQ(env.boxes.texts(), QStringList{"Can't launch the program : \"ed"});

    // Cancel changes nothing; a pick is stored at once and used from then on.
    reports::EditorPath = QStringLiteral("notepad.exe");
    reports::setEditorChooser([](QWidget*) { return QString(); });
    dialog.selectEditorClicked();
    EXPECT_EQ(reports::EditorPath, QStringLiteral("notepad.exe"));
    EXPECT_EQ(editorValue(), QStringLiteral("notepad.exe"));

    reports::setEditorChooser([](QWidget*) { return QStringLiteral("/usr/bin/mousepad"); });
    dialog.selectEditorClicked();
    EXPECT_EQ(editorValue(), QStringLiteral("/usr/bin/mousepad"));
    dialog.openClicked();
    ASSERT_EQ(env.processes.started.size(), 1u);
    EXPECT_EQ(env.processes.started[0].program, QStringLiteral("/usr/bin/mousepad"));

    // Still chosen when the dialog is prepared again.
    dialog.FormCreate();
    EXPECT_EQ(reports::EditorPath, QStringLiteral("/usr/bin/mousepad"));
}

TEST_F(OpenReportTest, ActivationRereadsAndABadEditorValueIsShownOnce)
{
    testing_support::writeInt(RootKey::CurrentUser, q(rk::kSoftware), q(rk::vEditor), 7);
    OpenReportDialog dialog(main.session());
    EXPECT_EQ(env.boxes.texts(), QStringList{"Invalid data type for 'Editor'."});
    EXPECT_TRUE(QDir(reports).exists());

    touch(reports + "/2000-1-2.rpt");
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(dialog.isActiveWindow());
    // Listed although the editor could not be read, and the same fault not shown again.
    EXPECT_EQ(listed(dialog), QStringList{"2000-1-2.rpt"});
    EXPECT_EQ(env.boxes.shown.size(), 1u);

    testing_support::writeStr(RootKey::CurrentUser, q(rk::kSoftware), q(rk::vEditor), QStringLiteral("vi"));
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    dialog.activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(reports::EditorPath, QStringLiteral("vi"));
    EXPECT_EQ(env.boxes.shown.size(), 1u);
    control<QPushButton>(dialog, "closeButton")->click();
    EXPECT_FALSE(dialog.isVisible());
}

// ---- deleting --------------------------------------------------------------------------

class DeleteReportsTest : public OpenReportTest {
protected:
    void SetUp() override
    {
        OpenReportTest::SetUp();
        QDir().mkpath(reports + "/kept.rpt");
        for (const char* name : {"1999-5-3.rpt", "2000-1-2.rpt", "notes.txt", ".hidden.rpt"})
            touch(reports + "/" + name);
    }
    QStringList left() const
    {
        return QDir(reports).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(DeleteReportsTest, AsksAndOnYesDeletesOnlyTheReports)
{
    env.boxes.queueAnswer(platform::Answer::No);
    DeleteAllReports(main.session().programPath());
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Are you sure to delete all reports ?"));
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(env.boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(left().size(), 5);

    env.boxes.queueAnswer(platform::Answer::Yes);
    DeleteAllReports(main.session().programPath());
    EXPECT_EQ(left(), (QStringList{".hidden.rpt", "kept.rpt", "notes.txt"}));
    EXPECT_EQ(env.boxes.shown.size(), 2u);  // the question only
}

TEST_F(DeleteReportsTest, WithoutAReportsFolderNothingElseIsTouched)
{
    SessionProbe::programPath(main.session()) = env.programFolder() + "/elsewhere";
    touch(env.programFolder() + "/stray.rpt");
    DeleteAllReports(main.session().programPath());
    EXPECT_TRUE(QFile::exists(env.programFolder() + "/stray.rpt"));
    EXPECT_EQ(left().size(), 5);
}

TEST_F(DeleteReportsTest, AReportThatCannotBeDeletedIsNamed)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root";
    ASSERT_TRUE(QFile::setPermissions(reports, QFile::ReadOwner | QFile::ExeOwner));
    DeleteAllReports(main.session().programPath());
    QFile::setPermissions(reports, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(env.boxes.shown.size(), 2u);
    EXPECT_TRUE(env.boxes.shown[1].text.startsWith(QStringLiteral("Can't delete the report : ")));
    EXPECT_TRUE(env.boxes.shown[1].text.contains(QStringLiteral("1999-5-3.rpt")));
    EXPECT_EQ(env.boxes.shown[1].icon, platform::MessageIcon::Error);
}

}  // namespace

TEST_F(OpenReportTest, TheWindowIsWideEnoughForItsCaptionBesideThreeTitleButtons)
{
    OpenReportDialog dialog(main.session());
    QFont bold = dialog.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    // The caption and, at the bar's height each, an icon and three buttons.
    EXPECT_GT(dialog.width(), metrics.horizontalAdvance(dialog.windowTitle()) + 4 * metrics.height());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    // The controls span the wider window, inside it.
    for (const QWidget* w : {static_cast<const QWidget*>(control<QGroupBox>(dialog, "reportBox")),
                             static_cast<const QWidget*>(control<QPushButton>(dialog, "closeButton"))})
        EXPECT_EQ(w->geometry().right(), dialog.width() - 9) << w->objectName().toStdString();
    EXPECT_EQ(control<QPushButton>(dialog, "selectEditorButton")->width(),
              control<QListWidget>(dialog, "reportList")->width());
}
