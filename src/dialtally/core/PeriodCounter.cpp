#include "dialtally/core/PeriodCounter.h"

#include "dialtally/core/History.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/Formats.h"
#include "dialtally/core/Report.h"
#include "platform/core/SaveFile.h"
#include "platform/core/Settings.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>
#include <climits>


PeriodCounter::PeriodCounter(SessionContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{ }

void PeriodCounter::loadRule()
{
    m_resetMode = period::resetModeFrom(m_context.settings.get(settings::Reset));
    m_resetDay = m_context.settings.get(settings::Reset14);
}

void PeriodCounter::setRule(period::ResetMode mode, std::optional<int> resetDay)
{
    m_resetMode = mode;
    if (resetDay)
        m_resetDay = *resetDay;
}

void PeriodCounter::loadSums()
{
    const history::StartupSums sums = history::startupSums(m_context.programPath, platform::clock().now().date());
    m_fee = static_cast<std::int32_t>(sums.period.feeCents);
    m_seconds = static_cast<std::int32_t>(std::clamp<qint64>(sums.period.seconds, INT32_MIN, INT32_MAX));
    m_todayFee = sums.todayFee;
}

void PeriodCounter::takeStartUpSums()
{
    loadSums();
    m_feeBefore = m_fee;
}

void PeriodCounter::beginConnection()
{
    loadSums();
    m_feeBefore = m_fee;
    m_secondsBefore = m_seconds;
}

void PeriodCounter::chargeConnection(std::int32_t connectionFee)
{
    m_fee = m_feeBefore + connectionFee;
}

void PeriodCounter::countConnection(std::int32_t elapsedSeconds)
{
    // A recovered connection may carry any delay the store held: the period's time
    // stops at the largest count instead of wrapping round to a negative one.
    m_seconds =
        static_cast<std::int32_t>(std::clamp<qint64>(qint64(m_secondsBefore) + elapsedSeconds, INT32_MIN, INT32_MAX));
}

bool PeriodCounter::automaticResetCheck(const ConnectionCount& connection)
{
    const QDate today = platform::clock().now().date();
    settings::Settings& store = m_context.settings;
    const int periodStartMonth = store.get(settings::PeriodMonth);
    m_resetMode = period::resetModeFrom(store.get(settings::Reset));
    const int report = store.get(settings::Report);
    if (!period::automaticResetDue(m_resetMode, m_resetDay, periodStartMonth, today.month(), today.day()))
        return false;
    return reset(today.year(), today.month(), today.day(), report == 1, connection);
}

bool PeriodCounter::writeReport(int year, int month, int day, QString* error)
{
    const QString& programPath = m_context.programPath;
    const QString folder = programPath + QStringLiteral("/Reports");
    report::makeReportsFolder(folder);
    const QString file = folder + QLatin1Char('/') + report::reportFileName(year, month, day);
    // Written aside and renamed, so a failed write never leaves half a report in
    // place of the earlier one of the same date.
    QSaveFile out(file);
    QString reason;
    if (out.open(QIODevice::WriteOnly)) {
        // Its owner's alone, as the history it lists; an earlier report's mode is not
        // taken over.
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        report::ReportWriter report(out);
        history::RecordReader reader(programPath);
        history::HistoryRecord record;
        while (reader.next(&record))
            report.add(record);
        if (!report.finish()) {
            reason = out.errorString();
            out.cancelWriting();
        }
        if (platform::commitWhole(out, reason.isEmpty() ? &reason : nullptr))
            return true;
    } else {
        reason = out.errorString();
    }
    if (error)
        *error = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(file), reason);
    return false;
}

bool PeriodCounter::writeReportToday(QString* error)
{
    const QDate today = platform::clock().now().date();
    return writeReport(today.year(), today.month(), today.day(), error);
}

bool PeriodCounter::resetToday(const ConnectionCount& connection)
{
    const QDate today = platform::clock().now().date();
    const int report = m_context.settings.get(settings::Report);
    return reset(today.year(), today.month(), today.day(), report == 1, connection);
}

bool PeriodCounter::reset(int year, int month, int day, bool withReport, const ConnectionCount& connection)
{
    const QString& programPath = m_context.programPath;
    if (withReport) {
        QString error;
        if (!writeReport(year, month, day, &error)) {
            // The report is the only copy of the closing period once the history is
            // emptied, so the reset waits until the report can be written.
            emit errorRaised(QStringLiteral("Can't write the report %1. The counter was not reset.").arg(error));
            return false;
        }
    }
    QString error;
    if (!history::truncate(programPath, &error)) {
        emit errorRaised(QStringLiteral("Can't empty the history file %1 : %2. The counter was not reset.")
                             .arg(QDir::toNativeSeparators(history::historyFile(programPath)), error));
        return false;
    }

    if (connection.counting()) {
        m_fee = connection.fee();
        m_seconds = connection.record().DurationSeconds;
    } else {
        m_fee = 0;
        m_seconds = 0;
    }
    m_feeBefore = 0;
    m_secondsBefore = 0;

    platform::RegistryTransaction transaction(m_context.registry.store());
    settings::Settings& store = m_context.settings;
    store.set(settings::PeriodDayNumber, platform::todayDayNumber());
    store.set(settings::PeriodYear, year);
    store.set(settings::PeriodMonth, month);
    store.set(settings::PeriodDay, day);
    // The two-weekly mode moves on to its next reset day, as the Counter dialog would
    // set it on this date; otherwise it would reset again at every start.
    if (m_resetMode == period::ResetMode::TwoWeekly) {
        m_resetDay = period::nextTwoWeeklyResetDay(day);
        store.set(settings::Reset14, m_resetDay);
    }
    store.set(settings::Crash, 0);
    transaction.commit();
    return true;
}

PeriodView PeriodCounter::view()
{
    PeriodView view;
    view.connectedTime = formats::elapsedText(m_seconds);
    const period::PeriodStart start = readStart();
    view.since = formats::dateText(start.year, start.month, start.day);
    view.nextReset = period::nextResetText(m_resetMode, m_resetDay, start.year, start.month, start.day);
    view.averagePerDay =
        formats::elapsedText(period::averagePerDay(m_seconds, platform::todayDayNumber(), start.dayNumber));
    return view;
}

period::PeriodStart PeriodCounter::readStart()
{
    return m_context.reads.get(m_context.reads.periodStart, [this] {
        // Read only, so an idle tick writes nothing; through one open of the key, as a
        // counting tick reads it every second.
        const settings::IntegerPlace places[] = {settings::PeriodYear, settings::PeriodMonth, settings::PeriodDay,
                                                 settings::PeriodDayNumber};
        const std::vector<std::int32_t> v = m_context.settings.getAll(places, settings::Opening::ExistingKey);
        period::PeriodStart start;
        start.year = v[0];
        start.month = v[1];
        start.day = v[2];
        start.dayNumber = v[3];
        return start;
    });
}
