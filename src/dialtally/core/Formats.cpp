#include "dialtally/core/Formats.h"

namespace formats {

QString feeText(std::int32_t cents)
{
    return QString::number(cents / 100) + QStringLiteral(" dol. ") + QString::number(cents % 100)
           + QStringLiteral(" c.");
}

QString elapsedText(std::int32_t seconds)
{
    return QString::number(seconds / 3600) + QStringLiteral(" h. ") + QString::number((seconds % 3600) / 60)
           + QStringLiteral(" min. ") + QString::number(seconds % 60) + QStringLiteral(" sec.");
}

QString clockText(const platform::LocalDateTime& time)
{
    return platform::clockText(time.hour, time.minute, time.second);
}

QString dateText(int year, int month, int day)
{
    return QStringLiteral("%1 - %2 - %3").arg(year).arg(month).arg(day);
}

QString balanceText(std::int64_t cents)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const std::int64_t magnitude = cents < 0 ? -cents : cents;
    return sign + QString::number(magnitude / 100) + QStringLiteral(" dol. ") + QString::number(magnitude % 100)
           + QStringLiteral(" c.");
}

QString fitUserName(const QString& name)
{
    return name.left(49);
}

}  // namespace formats
