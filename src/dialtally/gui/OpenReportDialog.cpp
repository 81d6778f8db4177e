#include "dialtally/gui/OpenReportDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Process.h"
#include "platform/gui/ProgramFileDialog.h"
#include "platform/core/Settings.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/Report.h"
#include "dialtally/core/StartUpPreparation.h"
#include "platform/gui/WindowPlacement.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace reports {

QString EditorPath;

namespace {

EditorChooser editorChooser;

QString fileDialogChoice(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Select editor ..."));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setSizeGripEnabled(true);
    const QString exeFilter = QStringLiteral("Executable file (*.exe)");
#ifdef Q_OS_WIN
    dialog.setNameFilter(exeFilter);
    dialog.setDefaultSuffix(QStringLiteral("exe"));
    dialog.setDirectory(QStringLiteral("c:\\"));
#else
    // The folder where editors live is the one opened first.
    platform::offerProgramsFirst(dialog, {exeFilter});
    const QString programs = QStringLiteral("/usr/bin");
    dialog.setDirectory(QDir(programs).exists() ? programs : QDir::rootPath());
#endif
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

}  // namespace

void setEditorChooser(EditorChooser chooser)
{
    editorChooser = std::move(chooser);
}

QString chooseEditor(QWidget* parent)
{
    return editorChooser ? editorChooser(parent) : fileDialogChoice(parent);
}

}  // namespace reports

// =====================================================================================
// The caption and the editor's key
// =====================================================================================

namespace {

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

}  // namespace

// =====================================================================================
// The dialog
// =====================================================================================

OpenReportDialog::OpenReportDialog(MonitoringSession& session, QWidget* parent)
    // The close button only, as on any fixed dialog.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_session(session)
{
    setObjectName(QStringLiteral("openReportDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Open report"));
    // The design's 181 pixels, or wider where the title bar needs it for the caption:
    // openbox puts three buttons beside it whatever the dialog asks for.
    setFixedSize(std::max(181, platform::titleBarWidth(*this)), 213);
    buildWindow();
    // The window is made even when the preparation fails; the error is shown and the
    // next activation tries again.
    prepare();
}

OpenReportDialog::~OpenReportDialog() = default;

void OpenReportDialog::buildWindow()
{
    reportBox = new QGroupBox(QStringLiteral("Select report:"), this);
    reportBox->setObjectName(QStringLiteral("reportBox"));
    // The list, its button and the pair below span the width the dialog has.
    const int inside = width() - 16;
    reportBox->setGeometry(8, 4, inside, 170);

    reportList = new QListWidget(reportBox);
    reportList->setObjectName(QStringLiteral("reportList"));
    reportList->setToolTip(QStringLiteral("Select available report from the list"));
    reportList->setSelectionMode(QAbstractItemView::SingleSelection);
    reportList->setGeometry(8, 18, inside - 16, 114);

    selectEditorButton = new QPushButton(QStringLiteral("Select editor ..."), reportBox);
    selectEditorButton->setObjectName(QStringLiteral("selectEditorButton"));
    selectEditorButton->setGeometry(8, 138, inside - 16, 24);

    openButton = new QPushButton(QStringLiteral("Open"), this);
    openButton->setObjectName(QStringLiteral("openButton"));
    openButton->setDefault(true);
    openButton->setGeometry(8, 181, 79, 25);

    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(width() - 8 - 79, 181, 79, 25);

    connect(openButton, &QPushButton::clicked, this, platform::guarded(this, &OpenReportDialog::openClicked));
    connect(reportList, &QListWidget::itemDoubleClicked, this, [this] { platform::guard([this] { openClicked(); }); });
    connect(selectEditorButton, &QPushButton::clicked, this,
            platform::guarded(this, &OpenReportDialog::selectEditorClicked));
    connect(closeButton, &QPushButton::clicked, this, platform::guarded(this, &OpenReportDialog::closeClicked));
}

QString OpenReportDialog::folder() const
{
    return reports::reportsFolder(m_session.programPath());
}

QString OpenReportDialog::selectedReport() const
{
    const QListWidgetItem* item = reportList->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void OpenReportDialog::FormCreate()
{
    const QString reportsFolder = folder();
    report::makeReportsFolder(reportsFolder);

    // Read again at every activation, so reports written meanwhile appear; the report
    // chosen before stays chosen.
    const QString chosen = selectedReport();
    reportList->clear();
    reportList->addItems(reports::reportFiles(reportsFolder));
    if (!chosen.isEmpty()) {
        const auto found = reportList->findItems(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!found.isEmpty())
            reportList->setCurrentItem(found.constFirst());
    }

    reports::EditorPath = startup::editorInUse(m_settings);
}

void OpenReportDialog::openClicked()
{
    const QString report = selectedReport();
    if (report.isEmpty())
        return;
    // The full path, so the editor finds the file whatever its working folder.
    const reports::EditorStart start = reports::editorStart(reports::EditorPath, QDir(folder()).filePath(report));
    if (start.program.isEmpty() || !platform::processes().start(start.program, start.arguments)) {
        // Said aloud: the default editor of a new user rarely exists here, and the
        // user must learn to pick another with "Select editor ...".
        platform::messageBox(QStringLiteral("Can't launch the program : ") + reports::EditorPath, caption(),
                             platform::MessageIcon::Error, platform::MessageButtons::Ok, platform::MessageOwner::Window,
                             this);
    }
}

void OpenReportDialog::selectEditorClicked()
{
    const QString editor = reports::chooseEditor(this);
    if (editor.isEmpty())
        return;
    {
        startup::requireEditorKey(m_settings);
        m_settings.set(settings::Editor, editor);
    }
    // Only an editor that is stored becomes the one in use.
    reports::EditorPath = editor;
}

void OpenReportDialog::closeClicked()
{
    close();
}

void OpenReportDialog::prepare()
{
    QString error;
    try {
        FormCreate();
    } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    // Closing the message box activates the dialog again: a fault that stays would
    // otherwise bring its box back at once, without end.
    if (!error.isEmpty() && error != m_lastPrepareError)
        platform::Application::instance().showException(error);
    m_lastPrepareError = error;
}

bool OpenReportDialog::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        prepare();
    return QDialog::event(e);
}

// =====================================================================================
// Deleting the reports
// =====================================================================================

void DeleteAllReports(const QString& programPath)
{
    const platform::Answer answer =
        platform::messageBox(QStringLiteral("Are you sure to delete all reports ?"), caption(),
                             platform::MessageIcon::Question, platform::MessageButtons::YesNo);
    if (answer != platform::Answer::Yes)
        return;
    // A missing folder holds no reports: nothing is looked for anywhere else.
    const QStringList left = reports::deleteReportFiles(reports::reportsFolder(programPath));
    if (left.isEmpty())
        return;
    QStringList shown;
    for (const QString& path : left)
        shown << QDir::toNativeSeparators(path);
    platform::messageBox(QStringLiteral("Can't delete the report : ") + shown.join(QStringLiteral(", ")), caption(),
                         platform::MessageIcon::Error);
}
