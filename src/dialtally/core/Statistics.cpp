#include "dialtally/core/Statistics.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

template <std::size_t N>
QByteArray storedName(const std::array<char, N>& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return QByteArray(field.data(), end - field.begin());
}

template <class T>
int sign(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

namespace statistics {

QString moneyText(std::int64_t cents)
{
    return QString::number(cents / 100) + QStringLiteral(" d. ") + QString::number(cents % 100) + QStringLiteral(" c.");
}

void UserTally::add(const history::HistoryRecord& record)
{
    bool added = false;
    const std::size_t place = m_names.place(record.UserName, &added);
    if (added)
        m_rows.push_back({storedName(record.UserName), 0, 0, 0});
    UserRow& row = m_rows[place];
    row.connections += 1;
    row.seconds += record.DurationSeconds;
    row.cents += record.FeeCents;
}

std::vector<UserRow> userRows(const QString& programPath)
{
    UserTally tally;
    history::RecordReader reader(programPath);
    history::HistoryRecord record;
    while (reader.next(&record))
        tally.add(record);
    return tally.takeRows();
}

float crashRate(std::int32_t crashes, std::int32_t connectedSeconds)
{
    if (connectedSeconds / 3600 == 0)
        return 0.0f;
    const float hours = static_cast<float>(connectedSeconds) * (1.0f / 3600.0f);
    return static_cast<float>(crashes) / hours;
}

QString generalText(double value, int precision, int exponentDigits, QChar decimalPoint)
{
    if (value == 0.0 || !std::isfinite(value))
        return QStringLiteral("0");
    precision = std::clamp(precision, 1, 17);
    char buffer[64];
    // Rounding to the wanted digits first decides the notation by the rounded value.
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
    const QString scientific = QString::fromLatin1(buffer);
    const qsizetype e = scientific.indexOf(QLatin1Char('e'));
    QString digits = scientific.left(e);
    digits.remove(QLatin1Char('.'));
    const int exponent = scientific.mid(e + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString text = value < 0 ? QStringLiteral("-") : QString();
    if (exponent >= -4 && exponent < precision) {
        QString whole;
        QString fraction;
        if (exponent >= 0) {
            whole = digits.left(exponent + 1);
            while (whole.size() < exponent + 1)
                whole += QLatin1Char('0');
            fraction = digits.mid(exponent + 1);
        } else {
            whole = QStringLiteral("0");
            fraction = QString(-exponent - 1, QLatin1Char('0')) + digits;
        }
        text += whole;
        if (!fraction.isEmpty())
            text += decimalPoint + fraction;
    } else {
        text += digits.left(1);
        if (digits.size() > 1)
            text += decimalPoint + digits.mid(1);
        text += QLatin1Char('E');
        text += QLatin1Char(exponent < 0 ? '-' : '+');
        text += QString::number(std::abs(exponent)).rightJustified(exponentDigits, QLatin1Char('0'));
    }
    return text;
}

QString crashRateText(std::int32_t crashes, std::int32_t connectedSeconds)
{
    return generalText(crashRate(crashes, connectedSeconds), 3, 2, QLocale().decimalPoint().at(0));
}

void applyColumnClick(ColumnSort& sort, const QString& caption)
{
    int clicked = sort.key;
    static const std::pair<const char*, int> keys[] = {
        {"User name", kByUserName},
        {"Connections", kByConnections},
        {"Total time", kByTotalTime},
        {"Total fee", kByTotalFee},
    };
    for (const auto& [text, key] : keys) {
        if (caption == QLatin1String(text))
            clicked = key;
    }
    sort.click(clicked);
}

int compareRows(const UserRow& a, const UserRow& b, const ColumnSort& sort)
{
    int r = 0;
    switch (sort.key) {
    case kByUserName: {
        // QByteArray orders by unsigned byte values.
        r = sign(a.name, b.name);
        break;
    }
    case kByConnections:
        r = sign(a.connections, b.connections);
        break;
    case kByTotalTime:
        r = sign(a.seconds, b.seconds);
        break;
    case kByTotalFee:
        r = sign(a.cents, b.cents);
        break;
    default:
        break;
    }
    return sort.ascending() ? r : -r;
}

}  // namespace statistics
