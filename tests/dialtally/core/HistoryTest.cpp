#include "dialtally/core/History.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using history::HistoryRecord;

namespace {

HistoryRecord sampleRecord(int fee = 1205, int seconds = 303)
{
    HistoryRecord r;
    r.StartTime = {2000, 1, 1, 23, 59, 50};
    r.EndTime = {2000, 1, 2, 0, 5, 3};
    r.FeeCents = fee;
    r.DurationSeconds = seconds;
    r.setProviderName(QStringLiteral("Provider One"));
    r.setUserName(QStringLiteral("alice"));
    return r;
}

QByteArray fileBytes(const QString& folder)
{
    QFile f(history::historyFile(folder));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

}  // namespace

TEST(HistoryCodec, EveryFieldLandsAtItsOffsetLittleEndian)
{
    HistoryRecord r = sampleRecord(-2, 0x01020304);
    r.EndTime.millisecond = 0xBEEF;
    const QByteArray b = history::encode(r);
    ASSERT_EQ(b.size(), 192);
    const auto u16 = [&](int off) { return qFromLittleEndian<std::uint16_t>(b.constData() + off); };
    const auto i32 = [&](int off) { return qFromLittleEndian<std::int32_t>(b.constData() + off); };
    const std::pair<int, int> fields[] = {{0, 2000}, {2, 1},  {4, 6},     {6, 1},      {8, 23}, {10, 59},
                                          {12, 50},  {14, 0}, {16, 2000}, {18, 1},     {20, 0}, {22, 2},
                                          {24, 0},   {26, 5}, {28, 3},    {30, 0xBEEF}};
    for (const auto& [offset, value] : fields)
        EXPECT_EQ(u16(offset), value) << "offset " << offset;
    EXPECT_EQ(i32(32), -2);
    EXPECT_EQ(static_cast<unsigned char>(b[36]), 0x04);  // low byte first
    EXPECT_EQ(i32(36), 0x01020304);
    EXPECT_EQ(QByteArray(b.constData() + 40), QByteArray("Provider One"));
    EXPECT_EQ(QByteArray(b.constData() + 140), QByteArray("alice"));

    const HistoryRecord back = history::decode(b);
    EXPECT_EQ(back.StartTime, r.StartTime);
    EXPECT_EQ(back.EndTime, r.EndTime);
    EXPECT_EQ(back.FeeCents, -2);
    EXPECT_EQ(back.DurationSeconds, 0x01020304);
    EXPECT_EQ(back.providerName(), QStringLiteral("Provider One"));
    EXPECT_EQ(back.userName(), QStringLiteral("alice"));
}

// A record as the program has always written it: a connection over the leap day's
// midnight, Tuesday 29 February to Wednesday 1 March 2000, with the day of the week in
// each time. Records of stored files read back to the same fields and are written
// again to the same bytes.
TEST(HistoryCodec, ARecordKeepsItsBytesAcrossReadAndWrite)
{
    HistoryRecord r;
    r.StartTime = {2000, 2, 29, 23, 59, 50};
    r.EndTime = {2000, 3, 1, 0, 0, 20};
    r.FeeCents = 1205;
    r.DurationSeconds = 30;
    r.setProviderName(QStringLiteral("Provider One"));
    r.setUserName(QStringLiteral("alice"));
    // Year, month, day of the week, day, hour, minute, second, millisecond; fee,
    // duration; the provider's name (fromHex passes over the spaces).
    const QByteArray golden = QByteArray::fromHex("d007 0200 0200 1d00 1700 3b00 3200 0000 "
                                                  "d007 0300 0300 0100 0000 0000 1400 0000 "
                                                  "b5040000 1e000000 50726f7669646572204f6e65");
    QByteArray expected = golden + QByteArray(140 - golden.size(), '\0');
    expected += QByteArray("alice") + QByteArray(52 - 5, '\0');
    ASSERT_EQ(expected.size(), 192);
    EXPECT_EQ(history::encode(r).toHex().toStdString(), expected.toHex().toStdString());

    const HistoryRecord back = history::decode(expected);
    EXPECT_EQ(back.StartTime, r.StartTime);
    EXPECT_EQ(back.EndTime, r.EndTime);
    EXPECT_EQ(history::encode(back), expected);
}

TEST(HistoryCodec, TextFieldsKeepRoomForTheTerminator)
{
    HistoryRecord r;
    r.setProviderName(QString(99, QLatin1Char('p')));
    EXPECT_EQ(r.providerName().size(), 99);
    EXPECT_EQ(r.ProviderName[99], '\0');

    r.setProviderName(QString(150, QLatin1Char('q')));
    EXPECT_EQ(r.providerName(), QString(99, QLatin1Char('q')));

    r.setUserName(QString(60, QLatin1Char('u')));
    EXPECT_EQ(r.userName().size(), 51);

    // A multi-byte character is never cut in half.
    r.setUserName(QString(50, QLatin1Char('a')) + QStringLiteral("é"));
    EXPECT_EQ(r.userName(), QString(50, QLatin1Char('a')));
}

TEST(HistoryFile, AppendsInOrderAndSumsTotals)
{
    QTemporaryDir dir;
    EXPECT_TRUE(history::readAll(dir.path()).empty());  // missing file: no records
    for (int i = 1; i <= 3; ++i) {
        QString error;
        ASSERT_TRUE(history::append(dir.path(), sampleRecord(i * 100, i * 60), &error)) << error.toStdString();
    }
    EXPECT_EQ(fileBytes(dir.path()).size(), 576);
    const auto records = history::readAll(dir.path());
    ASSERT_EQ(records.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(records[i].FeeCents, (i + 1) * 100);
    const auto sums = history::startupSums(dir.path(), QDate(2000, 1, 1));
    EXPECT_EQ(sums.period.feeCents, 600);
    EXPECT_EQ(sums.period.seconds, 360);
    // Today's fee takes the records of today's month and day, whatever their year.
    EXPECT_EQ(sums.todayFee, 600);
    EXPECT_EQ(history::startupSums(dir.path(), QDate(2003, 1, 1)).todayFee, 600);
    EXPECT_EQ(history::startupSums(dir.path(), QDate(2000, 1, 2)).todayFee, 0);
}

TEST(HistoryFile, TornTailIsIgnoredAndOverwrittenByTheNextAppend)
{
    QTemporaryDir dir;
    ASSERT_TRUE(history::append(dir.path(), sampleRecord(100)));
    {
        QFile f(history::historyFile(dir.path()));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(70, '\x7f'));
    }
    EXPECT_EQ(history::readAll(dir.path()).size(), 1u);

    ASSERT_TRUE(history::append(dir.path(), sampleRecord(200)));
    const QByteArray bytes = fileBytes(dir.path());
    EXPECT_EQ(bytes.size(), 384);
    const auto records = history::readAll(dir.path());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].FeeCents, 200);
}

TEST(HistoryFile, FailedAppendAndTruncateSayWhy)
{
    QTemporaryDir dir;
    // A folder in the way of the file: nothing can be written.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(history::kFileName)));
    QString error;
    EXPECT_FALSE(history::append(dir.path(), sampleRecord(), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(history::truncate(dir.path(), &error));
    EXPECT_FALSE(error.isEmpty());
}

// The history tells who was online when: whatever the umask, every writer leaves it
// its owner's alone, and a file an earlier version left open to others is closed.
TEST(HistoryFile, OnlyItsOwnerReadsTheHistory)
{
    const mode_t umaskBefore = ::umask(0);
    const auto modeOf = [](const QString& folder) {
        struct stat info { };
        ::stat(QFile::encodeName(history::historyFile(folder)).constData(), &info);
        return info.st_mode & 07777;
    };
    const auto openedTo = [](const QString& folder, mode_t mode) {
        QFile file(history::historyFile(folder));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        ::chmod(QFile::encodeName(file.fileName()).constData(), mode);
    };
    struct Case {
        const char* name;
        mode_t before;  // 0: no file yet
        std::function<void(const QString&)> write;
        mode_t after;
    } cases[] = {
        {"a new file's first record", 0, [](const QString& f) { EXPECT_TRUE(history::append(f, sampleRecord())); },
         0600},
        {"a record added to a 0644 file", 0644,
         [](const QString& f) { EXPECT_TRUE(history::append(f, sampleRecord())); }, 0600},
        {"a reset that makes the file", 0, [](const QString& f) { EXPECT_TRUE(history::truncate(f)); }, 0600},
        {"a reset of a 0666 file", 0666, [](const QString& f) { EXPECT_TRUE(history::truncate(f)); }, 0600},
        {"a start that finds a 0664 file", 0664, [](const QString& f) { history::keepPrivate(f); }, 0600},
        {"a start that finds a read-only file", 0444, [](const QString& f) { history::keepPrivate(f); }, 0400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        if (c.before != 0)
            openedTo(dir.path(), c.before);
        c.write(dir.path());
        EXPECT_EQ(modeOf(dir.path()), c.after);
    }
    ::umask(umaskBefore);
}

TEST(HistoryFile, TruncateEmptiesTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(history::append(dir.path(), sampleRecord()));
    ASSERT_TRUE(history::truncate(dir.path()));
    EXPECT_TRUE(QFile::exists(history::historyFile(dir.path())));
    EXPECT_EQ(fileBytes(dir.path()).size(), 0);
    EXPECT_TRUE(history::readAll(dir.path()).empty());
}

TEST(HistoryNames, PlacesInOrderOfFirstAppearanceByteForByte)
{
    history::NameOrder order;
    struct Step {
        const char* name;
        std::size_t place;
        bool added;
    };
    const Step steps[] = {
        {"alice", 0, true},  {"Alice", 1, true},  {"alice", 0, false}, {"", 2, true},
        {"alice ", 3, true}, {"Alice", 1, false}, {"", 2, false},
    };
    for (const Step& s : steps) {
        bool added = !s.added;
        EXPECT_EQ(order.place(std::string_view(s.name), &added), s.place) << '"' << s.name << '"';
        EXPECT_EQ(added, s.added) << '"' << s.name << '"';
    }

    // A record's field counts up to its terminator; the bytes behind it are not the name.
    HistoryRecord r = sampleRecord();
    r.setUserName(QStringLiteral("Alice the second"));
    r.setUserName(QStringLiteral("Alice"));
    EXPECT_EQ(order.place(r.UserName), 1u);
    // A field filled to its end is taken whole.
    std::array<char, 4> full = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(order.place(full), 4u);
    EXPECT_EQ(order.place(std::string_view("abcd")), 4u);
}

TEST(HistoryNames, ManyNamesAreFoundAgainAfterTheStoreGrew)
{
    // Short names live inside their string objects: the order must keep them where the
    // index saw them while thousands more come in.
    history::NameOrder order;
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(order.place(std::to_string(i)), static_cast<std::size_t>(i));
    for (int i = 4999; i >= 0; --i) {
        bool added = true;
        ASSERT_EQ(order.place(std::to_string(i), &added), static_cast<std::size_t>(i));
        ASSERT_FALSE(added);
    }
    EXPECT_EQ(order.size(), 5000u);
}
