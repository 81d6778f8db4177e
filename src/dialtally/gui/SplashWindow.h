// The splash window shown while the main window is being created, and the logo that
// it shares with the About box.
#pragma once

#include <QDialog>
#include <QPixmap>

#include <functional>

class QLabel;
class QTimer;

class SplashWindow : public QDialog {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);


    void FormActivate();
    void closeTimerElapsed();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* logo = nullptr;
    // Closes the splash a second after it is shown.
    QTimer* closeTimer = nullptr;
};

// The program's logo, 320 x 262, drawn at run time.
QPixmap dialtallyLogo();
// Centres a window on the free area of its screen, where both logo windows show.
void centreOnScreen(QWidget& window);

// Shows the splash modally until it closes itself. Tests replace the runner so that
// start-up does not wait for the splash's second.
using SplashRunner = std::function<void(SplashWindow&)>;
void setSplashRunner(SplashRunner runner);  // an empty runner restores the real one
void runSplash(SplashWindow& splash);
