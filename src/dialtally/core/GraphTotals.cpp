#include "dialtally/core/GraphTotals.h"

#include <algorithm>

namespace {

template <std::size_t N>
QByteArray storedName(const std::array<char, N>& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return QByteArray(field.data(), end - field.begin());
}

}  // namespace

namespace graphs {

void GraphTotals::add(const history::HistoryRecord& record)
{
    bool added = false;
    const std::size_t user = m_users.place(record.UserName, &added);
    if (added)
        UserTotals.push_back({storedName(record.UserName), 0});
    UserTotals[user].fee += record.FeeCents;

    const std::size_t provider = m_providers.place(record.ProviderName, &added);
    if (added)
        ProviderTotals.push_back({storedName(record.ProviderName), 0, 0});
    ++ProviderTotals[provider].connections;
    ProviderTotals[provider].fee += record.FeeCents;

    const int hour = record.StartTime.hour;
    if (hour < kHourColumns) {
        ++HourTotals[hour].connections;
        HourTotals[hour].fee += record.FeeCents;
    }
}

GraphTotals aggregate(const QString& programPath)
{
    GraphTotals totals;
    history::RecordReader reader(programPath);
    history::HistoryRecord record;
    while (reader.next(&record))
        totals.add(record);
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
    layout.upperChartBox = QRect(0, 0, w - 8, h);
    layout.lowerChartBox = QRect(0, h, w - 8, h);
    layout.buttonTop = window.height() - 63;
    layout.okLeft = w - 173;
    layout.helpLeft = w - 89;
    return layout;
}

}  // namespace graphs
