#include "GraphsDialog.h"

#include "Application.h"
#include "Chart.h"
#include "Help.h"
#include "WindowPlacement.h"
#include "MonitoringSession.h"

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
#include <cstring>
#include <limits>

namespace {

constexpr int kHelpContext = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kPreviousLeft = 8;

template <std::size_t N>
QByteArray storedName(const std::array<char, N>& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return QByteArray(field.data(), end - field.begin());
}

short columnCountFor(std::size_t entries)
{
    return static_cast<short>(
        std::min<std::size_t>(entries, static_cast<std::size_t>(std::numeric_limits<short>::max())));
}

platform::TVtChart* newChart(QWidget* parent, const char* name, const char* categoryTitle,
                             const char* valueTitle)
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

namespace graphs {

GraphTotals aggregate(const std::vector<history::HistoryRecord>& records)
{
    GraphTotals totals;
    for (const auto& record : records) {
        const QByteArray user = storedName(record.UserName);
        auto u = std::find_if(totals.UserTotals.begin(), totals.UserTotals.end(),
                              [&](const UserTotal& t) { return t.name == user; });
        if (u == totals.UserTotals.end())
            totals.UserTotals.push_back({user, record.FeeCents});
        else
            u->fee += record.FeeCents;

        const QByteArray provider = storedName(record.ProviderName);
        auto p = std::find_if(totals.ProviderTotals.begin(), totals.ProviderTotals.end(),
                              [&](const ProviderTotal& t) { return t.name == provider; });
        if (p == totals.ProviderTotals.end()) {
            totals.ProviderTotals.push_back({provider, 1, record.FeeCents});
        } else {
            ++p->connections;
            p->fee += record.FeeCents;
        }

        const int hour = record.StartTime.wHour;
        if (hour < kHourColumns) {
            ++totals.HourTotals[hour].connections;
            totals.HourTotals[hour].fee += record.FeeCents;
        }
    }
    return totals;
}

int hourColumn(int hour)
{
    return hour == 0 ? kHourColumns : hour;
}

QString wholeUnitsText(std::int64_t cents)
{
    return QString::number(cents / 100);
}

QString nameText(const QByteArray& name)
{
    return QString::fromUtf8(name);
}

GraphsLayout layoutFor(QSize window)
{
    const int w = window.width();
    const int h = (window.height() - kMinimumHeight) / 2 + 193;
    GraphsLayout layout;
    layout.groupBox1 = QRect(0, 0, w - 8, h);
    layout.groupBox2 = QRect(0, h, w - 8, h);
    layout.buttonTop = window.height() - 63;
    layout.okLeft = w - 173;
    layout.helpLeft = w - 89;
    return layout;
}

QSize constrainedSize(QSize requested)
{
    return QSize(std::max(requested.width(), kMinimumWidth),
                 std::max(requested.height(), kMinimumHeight));
}

}  // namespace graphs

GraphsDialog::GraphsDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("Form13"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Graphs"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setEnabled(false);
    Graph3 = newChart(GroupBox1, "Graph3", "Hours", "Connections");
    Graph1 = newChart(GroupBox1, "Graph1", "Users", "Fee");
    Graph1->hide();
    auto* upper = new QVBoxLayout(GroupBox1);
    upper->setContentsMargins(4, 4, 4, 4);
    upper->addWidget(Graph3);
    upper->addWidget(Graph1);

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setEnabled(false);
    Graph4 = newChart(GroupBox2, "Graph4", "Hours", "Fee");
    Graph2 = newChart(GroupBox2, "Graph2", "Provider", "Fee");
    Graph2->hide();
    auto* lower = new QVBoxLayout(GroupBox2);
    lower->setContentsMargins(4, 4, 4, 4);
    lower->addWidget(Graph4);
    lower->addWidget(Graph2);

    // The frames are disabled only so that the charts take no input; their titles
    // stay as readable as those of any frame.
    for (QGroupBox* frame : {GroupBox1, GroupBox2}) {
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Disabled, QPalette::WindowText,
                         palette.color(QPalette::Active, QPalette::WindowText));
        frame->setPalette(palette);
    }

    designHourChart(*Graph3);
    designHourChart(*Graph4);

    Button2 = newButton(this, "Button2", "<<   Previouse");
    Button2->setEnabled(false);
    Button1 = newButton(this, "Button1", "Next   >>");
    Button3 = newButton(this, "Button3", "OK");
    Button4 = newButton(this, "Button4", "&Help");

    connect(Button1, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::Button1Click));
    connect(Button2, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::Button2Click));
    connect(Button3, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::Button3Click));
    connect(Button4, &QPushButton::clicked, this, platform::guarded(this, &GraphsDialog::Button4Click));
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
    const graphs::GraphTotals totals = graphs::aggregate(history::readAll(m_session.programPath));

    if (!totals.UserTotals.empty()) {
        const short count = columnCountFor(totals.UserTotals.size());
        Graph1->setColumnCount(count);
        for (short k = 1; k <= count; ++k) {
            const auto& user = totals.UserTotals[k - 1];
            Graph1->setColumn(k);
            Graph1->setColumnLabel(graphs::nameText(user.name));
            Graph1->setData(graphs::wholeUnitsText(user.fee));
        }
    }

    // An empty history leaves every chart as it was.
    if (totals.ProviderTotals.empty())
        return;

    const short count = columnCountFor(totals.ProviderTotals.size());
    Graph2->setColumnCount(count);
    for (short k = 1; k <= count; ++k) {
        const auto& provider = totals.ProviderTotals[k - 1];
        Graph2->setRow(1);
        Graph2->setColumn(k);
        Graph2->setColumnLabel(graphs::nameText(provider.name));
        Graph2->setData(graphs::wholeUnitsText(provider.fee));
    }

    for (int h = 0; h < graphs::kHourColumns; ++h) {
        const auto column = static_cast<short>(graphs::hourColumn(h));
        Graph3->setColumn(column);
        Graph3->setData(QString::number(totals.HourTotals[h].connections));
        Graph4->setColumn(column);
        Graph4->setData(graphs::wholeUnitsText(totals.HourTotals[h].fee));
    }
}

void GraphsDialog::ShowHourGraphs()
{
    // The frames are hidden while their contents change, so nothing flickers.
    GroupBox2->hide();
    GroupBox1->hide();
    GroupBox1->setTitle(QStringLiteral("Connections graph:"));
    GroupBox2->setTitle(QStringLiteral("Fee graph:"));
    Graph3->show();
    Graph4->show();
    Graph1->hide();
    Graph2->hide();
    Button2->setEnabled(false);
    Button1->setEnabled(true);
    GroupBox1->show();
    GroupBox2->show();
}

void GraphsDialog::ShowUserProviderGraphs()
{
    GroupBox2->hide();
    GroupBox1->hide();
    GroupBox1->setTitle(QStringLiteral("Users graph:"));
    GroupBox2->setTitle(QStringLiteral("Providers graph:"));
    Graph1->show();
    Graph2->show();
    Graph3->hide();
    Graph4->hide();
    Button2->setEnabled(true);
    Button1->setEnabled(false);
    GroupBox1->show();
    GroupBox2->show();
}

void GraphsDialog::Button1Click()
{
    ShowUserProviderGraphs();
}

void GraphsDialog::Button2Click()
{
    ShowHourGraphs();
}

void GraphsDialog::Button3Click()
{
    done(QDialog::Accepted);
}

void GraphsDialog::Button4Click()
{
    platform::help().context(platform::Application::instance().helpFile(), kHelpContext);
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
    GroupBox1->setGeometry(layout.groupBox1);
    GroupBox2->setGeometry(layout.groupBox2);
    Button2->move(kPreviousLeft, layout.buttonTop);
    Button1->move(kPreviousLeft + Button2->width() + 6, layout.buttonTop);
    Button3->move(layout.okLeft, layout.buttonTop);
    Button4->move(layout.helpLeft, layout.buttonTop);
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
