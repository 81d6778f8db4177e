// The "Open report" dialog: lists the report files of the reports folder and opens the
// chosen one in the user's editor program, remembered in HKCU "\Software\Dialtally"
// "Editor". Also the deletion of every report, the main window's "&Delete reports".
#pragma once

#include "platform/core/Settings.h"
#include "dialtally/core/ReportFiles.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QGroupBox;
class QListWidget;
class QPushButton;
class MonitoringSession;

namespace reports {

// The program that opens reports; empty until the dialog first reads "Editor".
extern QString EditorPath;

// Asks the user for an editor program; an empty result is a cancel. Tests install
// their own chooser; an empty one restores the file dialog.
using EditorChooser = std::function<QString(QWidget* parent)>;
void setEditorChooser(EditorChooser chooser);
QString chooseEditor(QWidget* parent);

}  // namespace reports

class OpenReportDialog : public QDialog {
    Q_OBJECT
public:
    // Prepares the folder, the list and the editor at once, as at every activation.
    explicit OpenReportDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~OpenReportDialog() override;


    void FormCreate();
    void openClicked();
    void selectEditorClicked();
    void closeClicked();

    // The folder the list shows.
    QString folder() const;
    // The report chosen in the list; empty when none is.
    QString selectedReport() const;

protected:
    bool event(QEvent* event) override;

private:
    QGroupBox* reportBox = nullptr;
    QListWidget* reportList = nullptr;
    QPushButton* selectEditorButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* closeButton = nullptr;

    void buildWindow();
    // FormCreate under the standard error display.
    void prepare();

    MonitoringSession& m_session;
    settings::Settings m_settings;
    // An error of the preparation is shown once, not again at the activation that
    // follows its own message box.
    QString m_lastPrepareError;
};

// The main window's "&Delete reports": asks, then deletes every report file.
void DeleteAllReports(const QString& programPath);
