// The Graphs dialog: connections and fee per hour of the day on its first page, fee
// per user and per provider on its second, all from history.dat. The figures and the
// layout rule are the core's (GraphTotals), testable without a window.
#pragma once

#include "dialtally/core/GraphTotals.h"

#include <QDialog>
#include <QSize>

class QGroupBox;
class QPushButton;
class MonitoringSession;

namespace platform {
class TVtChart;
}

class GraphsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GraphsDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~GraphsDialog() override;

    platform::TVtChart* connectionsPerHourChart = nullptr;
    platform::TVtChart* feePerUserChart = nullptr;
    platform::TVtChart* feePerHourChart = nullptr;
    platform::TVtChart* feePerProviderChart = nullptr;

    void FormActivate();
    void BuildGraphs();
    void ShowHourGraphs();
    void ShowUserProviderGraphs();
    void nextClicked();
    void previousClicked();
    void okClicked();
    void helpClicked();
    void FormResize();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Each frame holds one chart of each page: the hour charts on the first, the user
    // and provider charts on the second.
    QGroupBox* upperChartBox = nullptr;
    QGroupBox* lowerChartBox = nullptr;
    QPushButton* previousButton = nullptr;  // back to the hour charts
    QPushButton* nextButton = nullptr;  // on to the user and provider charts
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;

    // The first page (the hour charts) or the second (the user and provider charts).
    void showPage(bool hourCharts);
    // The window's outer size: the client area and the frame the window manager adds.
    QSize outerSize() const;
    QSize frameExtra() const;

    MonitoringSession& m_session;
    bool m_sizedOnce = false;
};
