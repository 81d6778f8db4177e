// Postpeek's main window: its menus, toolbar and tray icon, the account list, the
// message list and the status panels, and the program's start. The check cycle it
// shows is MailCheckCycle (MailCheck.h), which touches no widget. The window lives
// in namespace postpeek, as Dialtally's main window has the same class name.
#pragma once

#include "platform/gui/Application.h"
#include "postpeek/core/MailCheck.h"
#include "common/TrayConstants.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace postpeek {

class MailAboutBox;

// The application title (taskbar window, error display) differs from the main
// window's caption by design; hideTaskbarButton() finds the taskbar window by the former.
inline constexpr const char* kApplicationTitle = "Dialtally Mail Checker";
inline constexpr const char* kCaption = "Dialtally EMail Checker v2.0";
inline constexpr const char* kHelpFileName = "Dialtally Help.hlp";
inline constexpr const char* kHelpTopic = "EMail_checker";

// Widths of the four columns of the message list for a client width: shares of 27, 47,
// 13 and 13 per cent. The "Size" and "Account" columns, which show the program's own
// values whole, are at least `sizeMinimum` and `accountMinimum` wide, at the expense
// of "Subject" first and then of "From", which elide.
std::array<int, 4> columnWidths(int clientWidth, int sizeMinimum = 0, int accountMinimum = 0);
// The tooltip of a row of the message list: its whole sender and subject, which the
// columns may cut.
QString rowToolTip(const MailMessage& message);

// ---- the main window ----------------------------------------------------------------

class MailCheckerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MailCheckerWindow(QWidget* parent = nullptr);
    ~MailCheckerWindow() override;

    // ---- state --------------------------------------------------------------------
    MailCheckCycle& cycle() { return m_cycle; }
    const MailCheckCycle& cycle() const { return m_cycle; }
    QString programPath;
    // Set once the program has asked to end; quitPosted() tells the message loop.
    bool QuitPosted = false;

    MailAboutBox* aboutBox = nullptr;  // set by WinMain

    // ---- handlers -----------------------------------------------------------------
    // Reads the registry, starts the timer and, as the settings ask, minimizes, goes
    // into the tray and checks at once.
    void startUp();
    void accountTicksChanged();
    void saveMarksAndLeaveTray();
    void timedCheck();
    void checkNow();
    void exitProgram();
    void deleteSelectedMessage();
    // A click on the tray icon: the window back, or the tray menu.
    void trayClicked(tray::Click click);
    // In tray mode the program has no taskbar button.
    void hideTaskbarButton();
    void fitColumns();
    void restoreFromTray();
    void hideProgram();
    void showAbout();
    void showHelp();

    bool trayMode() const { return m_cycle.trayMode(); }
    void PostQuit();

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

    // When the box of an error that ends a handler opens: in the handler, or from
    // the event loop once the handler has returned. Qt does not fire a timer again
    // while its handler runs, so a box opened in the check timer's would stop the
    // checks for as long as it stays open.
    enum class ErrorBox { InTheHandler, FromTheLoop };
    // Runs a handler; an error that ends it is shown by the standard display, one box
    // per fault: while a box with that text is open or waiting, the same error adds
    // none. An exchange abandoned because the program is closing is not reported.
    template <class F>
    void handle(F&& action, ErrorBox box = ErrorBox::InTheHandler);
    void showError(const QString& text, ErrorBox box);

signals:
    void quitPosted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Named statusPanel0 to statusPanel6.
    std::array<QLabel*, 7> statusPanels{};
    // Indexed by ImageIndex: the pictures as drawn, and lit for the toolbar's hover.
    std::array<QIcon, 4> icons;
    std::array<QIcon, 4> highlightedIcons;
    QWidget* toolBand = nullptr;  // the band that holds the toolbar
    QToolBar* toolBar = nullptr;
    QAction* checkNowButton = nullptr;  // "Check the Mail now !"
    QAction* toolSeparator = nullptr;
    QAction* exitButton = nullptr;  // "Exit"
    QListWidget* accountList = nullptr;
    QSplitter* listSplitter = nullptr;
    QTreeWidget* messageList = nullptr;
    QMenu* fileMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QAction* checkNowAction = nullptr;
    QAction* hideAction = nullptr;
    QAction* exitAction = nullptr;
    QAction* helpAction = nullptr;
    QAction* aboutAction = nullptr;
    QMenu* trayMenu = nullptr;
    QAction* trayRestoreAction = nullptr;
    QAction* trayHideAction = nullptr;
    QAction* trayCheckNowAction = nullptr;
    QAction* trayExitAction = nullptr;
    QMenu* messageMenu = nullptr;  // the message list's context menu
    QAction* selectAction = nullptr;
    QAction* deleteAction = nullptr;
    QTimer* checkTimer = nullptr;

    void buildWindow();
    void buildMenus();
    // Rows reach the list in batches, so it is not laid out and drawn again for every
    // message of a long maildrop: at most ten times a second while a check runs,
    // and whenever it ends, however it ends.
    void addRow(const MailMessage& message);
    void showPendingRows();
    // Runs a cycle's command; every row it found is in the list afterwards.
    template <class F>
    void showingRows(F&& command);
    // A row's tooltip, shown as plain text.
    bool showRowToolTip(QEvent* event);
    // What the cycle reports, into the widgets.
    void showCycle();

    void addTrayIcon();
    void setTrayTip(const QString& tip, int picture);
    void removeTrayIcon();

    void showWaitingErrors();

    MailCheckCycle m_cycle;
    std::vector<QTreeWidgetItem*> m_pendingRows;
    QElapsedTimer m_sinceRowsShown;
    // The room that the widest size and account listed need, each measured once, as
    // its row comes in; the other columns take what is left.
    int m_sizeRoom = 0;
    int m_accountRoom = 0;
    QString m_lastAccountMeasured;
    bool m_closing = false;
    bool m_closed = false;
    QStringList m_openErrors;
    QStringList m_waitingErrors;
    bool m_errorsPosted = false;
};

template <class F>
void MailCheckerWindow::handle(F&& action, ErrorBox box)
{
    QString error;
    try {
        action();
        return;
    } catch (const platform::NetworkError& e) {
        if (e.kind() == platform::NetworkErrorKind::Aborted && m_closing)
            return;
        error = QString::fromLocal8Bit(e.what());
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    showError(error, box);
}

// The program: title, the two windows, the message loop (unless `runLoop` is false,
// for tests). Returns the exit code.
int WinMain(bool runLoop = true);

}  // namespace postpeek
