// The crash journal on its own: the run marker, the start and backup slots a counted
// connection leaves in the store, their recovery at the next start, and the queue of
// finished connections that the history could not take.
#include "dialtally/core/CrashJournal.h"

#include "support/core/CoreFakes.h"
#include "support/HistoryRecords.h"
#include "support/core/RegistryShorthand.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

const platform::LocalDateTime kStart{2000, 1, 5, 10, 0, 0};  // Wednesday 10:00:00

platform::LocalDateTime at(int seconds)
{
    return platform::LocalDateTime::fromDateTime(QDateTime(QDate(2000, 1, 5), QTime(10, 0, 0)).addSecs(seconds));
}

class CrashJournalTest : public ::testing::Test {
protected:
    CrashJournalTest()
    {
        env.install(0);
        context.programPath = env.programFolder();
        renew();
    }

    // The journal of a new run, over the same store and folder.
    void renew()
    {
        journal = std::make_unique<CrashJournal>(context);
        QObject::connect(journal.get(), &CrashJournal::errorRaised, [this](const QString& t) { errors << t; });
        QObject::connect(journal.get(), &CrashJournal::failureRaised, [this](const QString& t) { errors << t; });
        QObject::connect(journal.get(), &CrashJournal::unsavedConnectionFound, [this] { ++found; });
    }

    // What a counted connection leaves in the store, as the session writes it: the
    // start, the opening, a charge and `ticks` counting ticks one second apart.
    void countedConnection(int ticks, int fee)
    {
        journal->recordStart(kStart);
        journal->recordOpened(QStringLiteral("ISP"), QStringLiteral("alice"), 0, kStart);
        journal->recordFee(fee, QStringLiteral("fee"));
        for (int i = 1; i <= ticks; ++i)
            journal->writeBackupSlot(at(i), QStringLiteral("alice"), i);
    }

    int marker() { return readInt(HKLM, q(rk::kSoftware), q(rk::vBug)); }
    std::vector<history::HistoryRecord> records() const { return history::readAll(env.programFolder()); }
    // A folder where the history file should be: every append fails.
    void blockHistory()
    {
        const QString file = history::historyFile(env.programFolder());
        QFile::remove(file);
        ASSERT_TRUE(QDir().mkpath(file));
    }
    void unblockHistory() { ASSERT_TRUE(QDir(history::historyFile(env.programFolder())).removeRecursively()); }

    CoreEnvironment env;
    SessionContext context;
    std::unique_ptr<CrashJournal> journal;
    QStringList errors;
    int found = 0;
};

TEST_F(CrashJournalTest, TheMarkerOpensTheRunAndKeepsAConnectionToRecover)
{
    const struct {
        int stored;
        int antiCrash;
        bool recovery;
        int after;
    } cases[] = {
        {0, 1, false, 1}, {1, 1, false, 1}, {2, 1, true, 2}, {2, 0, false, 1},  // the recovery switched off
        {7, 1, false, 1},  // a number of no marker: the program was running
    };
    for (const auto& c : cases) {
        writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), c.stored);
        writeInt(HKLM, q(rk::kSoftware), q(rk::vAntiCrash), c.antiCrash);
        renew();
        EXPECT_EQ(journal->openRun(), c.recovery) << c.stored << "/" << c.antiCrash;
        EXPECT_EQ(journal->runMarkerAtStart(), runMarkerFrom(c.stored));
        EXPECT_EQ(marker(), c.after) << c.stored << "/" << c.antiCrash;
    }
    journal->closeRun();
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Closed));
}

TEST_F(CrashJournalTest, AConnectionCutShortIsRecoveredFromTheSlotCompletedLast)
{
    countedConnection(3, 17);
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::ConnectionOpen));
    writeInt(HKLM, q(rk::kSoftware), q(rk::vAntiCrash), 1);

    renew();  // the next start, after a kill
    ASSERT_TRUE(journal->openRun());
    journal->loadWaiting();
    journal->recover({});
    EXPECT_EQ(found, 1);
    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].StartTime, kStart);
    EXPECT_EQ(all[0].EndTime, at(3));
    EXPECT_EQ(all[0].DurationSeconds, 3);
    EXPECT_EQ(all[0].FeeCents, 17);
    EXPECT_EQ(all[0].providerName(), QStringLiteral("ISP"));
    EXPECT_EQ(all[0].userName(), QStringLiteral("alice"));
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Found saved by a start after that: not counted twice, no crash more.
    writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);
    renew();
    ASSERT_TRUE(journal->openRun());
    journal->recover({});
    EXPECT_EQ(found, 1);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 1);
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
}

TEST_F(CrashJournalTest, ASlotCutShortFallsBackToTheOtherAndNoneUsableIsTold)
{
    countedConnection(4, 5);
    const QString current = q(rk::kCounterCurrent);
    // "Backup" names the slot completed last; the kill came while the other was half
    // written, or while the named one was: the other is a tick older.
    const bool namedIsPrefixed = readInt(HKLM, current, q(rk::vBackup)) != 0;
    const QString named = namedIsPrefixed ? q(rk::kBackupSlotPrefix) : QString();
    const QString other = namedIsPrefixed ? QString() : q(rk::kBackupSlotPrefix);
    env.registry.setRootKey(HKLM);
    ASSERT_TRUE(env.registry.openKey(current, false));
    ASSERT_TRUE(env.registry.deleteValue(named + q(rk::vSlotTime)));
    env.registry.closeKey();

    renew();
    journal->recover({});
    auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].DurationSeconds, 3);
    EXPECT_EQ(all[0].EndTime, at(3));

    ASSERT_TRUE(history::truncate(env.programFolder()));
    ASSERT_TRUE(env.registry.openKey(current, false));
    ASSERT_TRUE(env.registry.deleteValue(other + q(rk::vSlotTime)));
    env.registry.closeKey();
    renew();
    journal->recover({});
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(errors,
              QStringList{QStringLiteral("The backup of the last connection is incomplete or belongs to another "
                                         "connection. The connection could not be recovered.")});
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
}

TEST_F(CrashJournalTest, AFinishedConnectionTheHistoryRefusesWaitsInTheStoreInOrder)
{
    const QString saveError = QStringLiteral("Can't save the connection in %1 : ")
                                  .arg(QDir::toNativeSeparators(history::historyFile(env.programFolder())));
    blockHistory();
    const history::HistoryRecord first = recordOf(1, 1, 10);
    const history::HistoryRecord second = recordOf(2, 1, 20);
    for (const auto& record : {first, second}) {
        EXPECT_FALSE(journal->saveEnded(record));
        journal->noteEnded(false);
    }
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[1].startsWith(saveError)) << errors[1].toStdString();
    EXPECT_EQ(journal->waitingRecords().size(), 2u);
    EXPECT_TRUE(valueExists(HKLM, q(rk::kCounterCurrent), q(rk::vUnsavedRecords)));
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running)) << "ended cleanly, no crash";

    // The next run finds them in the store and writes them first, oldest first; one
    // the history holds already is not written again.
    unblockHistory();
    ASSERT_TRUE(history::append(env.programFolder(), first));
    renew();
    journal->loadWaiting();
    ASSERT_EQ(journal->waitingRecords().size(), 2u);
    EXPECT_TRUE(journal->saveWaiting());
    const auto all = records();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(history::sameConnection(all[0], first));
    EXPECT_TRUE(history::sameConnection(all[1], second));
    EXPECT_TRUE(journal->waitingRecords().empty());
    EXPECT_FALSE(valueExists(HKLM, q(rk::kCounterCurrent), q(rk::vUnsavedRecords)));

    // A connection that waits is no crash either: the recovery does not count it.
    blockHistory();
    countedConnection(2, 3);
    journal->saveEnded([] {
        history::HistoryRecord record = recordOf(5, 1, 3, 2);
        record.StartTime = kStart;
        return record;
    }());
    journal->closeRun();
    writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);
    renew();
    journal->loadWaiting();
    journal->recover({});
    EXPECT_EQ(found, 0);
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 0);
}

TEST_F(CrashJournalTest, ABusyStoreLearnsOfTheEndAtTheNextTick)
{
    countedConnection(1, 0);
    ASSERT_TRUE(journal->saveEnded(recordOf(1, 1, 0)));
    {
        StoreLock lock(env.registryFile());
        platform::BriefStoreWait wait(context.registry.store(), 10);
        journal->noteEnded(true);  // the tick goes on
        EXPECT_THROW(journal->catchUp(false), platform::RegistryBusy);
    }
    journal->catchUp(false);
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

}  // namespace
