#include "dialtally/gui/GraphsDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/Chart.h"
#include "platform/gui/Help.h"
#include "platform/gui/WindowPlacement.h"
#include "dialtally/core/MonitoringSession.h"

#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int kHelpContext = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kPreviousLeft = 8;

short columnCountFor(std::size_t entries)
{
    return static_cast<short>(
        std::min<std::size_t>(entries, static_cast<std::size_t>(std::numeric_limits<short>::max())));
}

platform::TVtChart* newChart(QWidget* parent, const char* name, const char* categoryTitle, const char* valueTitle)
{
    auto* chart = new platform::TVtChart(parent);
    chart->setObjectName(QString::fromLatin1(name));
    chart->setAxisTitles(QString::fromLatin1(categoryTitle), QString::fromLatin1(valueTitle));
    return chart;
}

// The hour charts are laid out for the whole day before any history is read.
void designHourChart(platform::TVtChart& chart)
{
    chart.setColumnCount(graphs::kHourColumns);
    for (int c = 1; c <= graphs::kHourColumns; ++c) {
        chart.setColumn(static_cast<short>(c));
        chart.setColumnLabel(QString::number(c));
    }
    chart.setColumn(1);
}

QPushButton* newButton(QWidget* parent, const char* name, const char* text)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->resize(std::max(kButtonWidth, button->sizeHint().width()), kButtonHeight);
    return button;
}

}  // namespace

GraphsDialog::GraphsDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("graphsDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Graphs"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    upperChartBox = new QGroupBox(this);
    upperChartBox->setObjectName(QStringLiteral("upperChartBox"));
    upperChartBox->setEnabled(false);
    connectionsPerHourChart = newChart(upperChartBox, "connectionsPerHourChart", "Hours", "Connections");
    feePerUserChart = newChart(upperChartBox, "feePerUserChart", "Users", "Fee");
    feePerUserChart->hide();
    auto* upper = new QVBoxLayout(upperChartBox);
    upper->setContentsMargins(4, 4, 4, 4);
    upper->addWidget(connectionsPerHourChart);
    upper->addWidget(feePerUserChart);

    lowerChartBox = new QGroupBox(this);
    lowerChartBox->setObjectName(QStringLiteral("lowerChartBox"));
    lowerChartBox->setEnabled(false);
    feePerHourChart = newChart(lowerChartBox, "feePerHourChart", "Hours", "Fee");
    feePerProviderChart = newChart(lowerChartBox, "feePerProviderChart", "Provider", "Fee");
    feePerProviderChart->hide();
    auto* lower = new QVBoxLayout(lowerChartBox);
    lower->setContentsMargins(4, 4, 4, 4);
    lower->addWidget(feePerHourChart);
    lower->addWidget(feePerProviderChart);

    // The frames are disabled only so that the charts take no input; their titles
    // stay as readable as those of any frame.
    for (QGroupBox* frame : {upperChartBox, lowerChartBox}) {
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Disabled, QPalette::WindowText,
                         palette.color(QPalette::Active, QPalette::WindowText));
        frame->setPalette(palette);
    }

    designHourChart(*connectionsPerHourChart);
    designHourChart(*feePerHourChart);

    previousButton = newButton(this, "previousButton", "<<   Previouse");
    previousButton->setEnabled(false);
    nextButton = newButton(this, "nextButton", "Next   >>");
    okButton = newButton(this, "okButton", "OK");
    helpButton = newButton(this, "helpButton", "&Help");

    connect(nextButton, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::nextClicked));
    connect(previousButton, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::previousClicked));
    connect(okButton, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::okClicked));
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);

    resize(graphs::kStartWidth, graphs::kStartHeight);
    setMinimumSize(graphs::kMinimumWidth, graphs::kMinimumHeight);
    FormResize();
}

GraphsDialog::~GraphsDialog() = default;

void GraphsDialog::FormActivate()
{
    BuildGraphs();
    ShowHourGraphs();
}

void GraphsDialog::BuildGraphs()
{
    const graphs::GraphTotals totals = graphs::aggregate(m_session.programPath());

    if (!totals.UserTotals.empty()) {
        const short count = columnCountFor(totals.UserTotals.size());
        feePerUserChart->setColumnCount(count);
        for (short k = 1; k <= count; ++k) {
            const auto& user = totals.UserTotals[k - 1];
            feePerUserChart->setColumn(k);
            feePerUserChart->setColumnLabel(graphs::nameText(user.name));
            feePerUserChart->setData(graphs::wholeUnitsText(user.fee));
        }
    }

    // An empty history leaves every chart as it was.
    if (totals.ProviderTotals.empty())
        return;

    const short count = columnCountFor(totals.ProviderTotals.size());
    feePerProviderChart->setColumnCount(count);
    for (short k = 1; k <= count; ++k) {
        const auto& provider = totals.ProviderTotals[k - 1];
        feePerProviderChart->setRow(1);
        feePerProviderChart->setColumn(k);
        feePerProviderChart->setColumnLabel(graphs::nameText(provider.name));
        feePerProviderChart->setData(graphs::wholeUnitsText(provider.fee));
    }

    for (int h = 0; h < graphs::kHourColumns; ++h) {
        const auto column = static_cast<short>(graphs::hourColumn(h));
        connectionsPerHourChart->setColumn(column);
        connectionsPerHourChart->setData(QString::number(totals.HourTotals[h].connections));
        feePerHourChart->setColumn(column);
        feePerHourChart->setData(graphs::wholeUnitsText(totals.HourTotals[h].fee));
    }
}

void GraphsDialog::ShowHourGraphs()
{
    showPage(true);
}

void GraphsDialog::ShowUserProviderGraphs()
{
    showPage(false);
}

void GraphsDialog::showPage(bool hourCharts)
{
    // The frames are hidden while their contents change, so nothing flickers.
    lowerChartBox->hide();
    upperChartBox->hide();
    upperChartBox->setTitle(hourCharts ? QStringLiteral("Connections graph:") : QStringLiteral("Users graph:"));
    lowerChartBox->setTitle(hourCharts ? QStringLiteral("Fee graph:") : QStringLiteral("Providers graph:"));
    connectionsPerHourChart->setVisible(hourCharts);
    feePerHourChart->setVisible(hourCharts);
    feePerUserChart->setVisible(!hourCharts);
    feePerProviderChart->setVisible(!hourCharts);
    previousButton->setEnabled(!hourCharts);
    nextButton->setEnabled(hourCharts);
    upperChartBox->show();
    lowerChartBox->show();
}

void GraphsDialog::nextClicked()
{
    ShowUserProviderGraphs();
}

void GraphsDialog::previousClicked()
{
    ShowHourGraphs();
}

void GraphsDialog::okClicked()
{
    done(QDialog::Accepted);
}

void GraphsDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}

QSize GraphsDialog::frameExtra() const
{
    return platform::frameExtra(*this);
}

QSize GraphsDialog::outerSize() const
{
    return size() + frameExtra();
}

void GraphsDialog::FormResize()
{
    const graphs::GraphsLayout layout = graphs::layoutFor(outerSize());
    upperChartBox->setGeometry(layout.upperChartBox);
    lowerChartBox->setGeometry(layout.lowerChartBox);
    previousButton->move(kPreviousLeft, layout.buttonTop);
    nextButton->move(kPreviousLeft + previousButton->width() + 6, layout.buttonTop);
    okButton->move(layout.okLeft, layout.buttonTop);
    helpButton->move(layout.helpLeft, layout.buttonTop);
}

bool GraphsDialog::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        platform::guard([this] { FormActivate(); });
    return QDialog::event(e);
}

void GraphsDialog::showEvent(QShowEvent* e)
{
    if (!e->spontaneous() && !m_sizedOnce) {
        m_sizedOnce = true;
        // The sizes of the design are those of the framed window.
        platform::setOuterSizeCentred(*this, QSize(graphs::kStartWidth, graphs::kStartHeight),
                                      QSize(graphs::kMinimumWidth, graphs::kMinimumHeight));
    }
    QDialog::showEvent(e);
}

void GraphsDialog::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    platform::guard([this] { FormResize(); });
}
