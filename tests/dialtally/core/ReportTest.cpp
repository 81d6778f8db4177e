// The text report of the history, laid out byte for byte.
#include "dialtally/core/History.h"
#include "support/HistoryRecords.h"
#include "dialtally/core/Report.h"

#include <QBuffer>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

using testing_support::recordOf;

// The lines of the report of `records`, each checked to end in CR LF.
QStringList reportLines(const std::vector<history::HistoryRecord>& records)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    report::ReportWriter writer(buffer);
    for (const auto& r : records)
        writer.add(r);
    EXPECT_TRUE(writer.finish());
    QByteArray bytes = buffer.data();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    bytes.chop(1);
    QStringList lines;
    for (const QByteArray& line : bytes.split('\n')) {
        EXPECT_TRUE(line.endsWith('\r'));
        lines << QString::fromLatin1(line.chopped(1));
    }
    return lines;
}

TEST(Report, LayoutAndCuts)
{
    EXPECT_EQ(report::reportFileName(1999, 5, 3), QStringLiteral("1999-5-3.rpt"));

    const QStringList empty = reportLines({});
    ASSERT_EQ(empty.size(), 4);
    EXPECT_EQ(empty[0], QString(52, '*') + " Report made by Dialtally 2.01 " + QString(52, '*'));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(empty[i].size(), 140);

    auto a = recordOf(3, 5, 100, 3725);
    a.setUserName(QStringLiteral("tenletters"));
    a.setProviderName(QStringLiteral("eighteen-letters-x"));
    auto b = recordOf(4, 5, 10050);
    b.setUserName(QStringLiteral("elevenchars"));
    const auto c = recordOf(5, 5, 5);
    const QStringList lines = reportLines({a, b, c});
    ASSERT_EQ(lines.size(), 4 + 6);
    for (const QString& line : lines.mid(1))
        EXPECT_EQ(line.size(), 140) << line.toStdString();
    const QString& row1 = lines[4];
    EXPECT_EQ(row1.mid(2, 11), QStringLiteral("tenletters "));
    EXPECT_EQ(row1.mid(15, 18), QStringLiteral("eighteen-letter.. "));
    EXPECT_EQ(row1.mid(35, 13).trimmed(), QStringLiteral("1 dol. 0 c."));
    EXPECT_EQ(row1.mid(51, 12).trimmed(), QStringLiteral("1:2:5"));
    EXPECT_EQ(row1.mid(81, 12).trimmed(), QStringLiteral("1999/5/3"));
    EXPECT_EQ(row1.mid(96, 12).trimmed(), QStringLiteral("8:5:9"));
    for (int bar : {0, 13, 33, 49, 63, 79, 94, 109, 124, 139})
        EXPECT_EQ(row1[bar], QLatin1Char('|')) << bar;
    EXPECT_EQ(lines[5], QString(140, '_'));
    const QString& row2 = lines[6];
    EXPECT_EQ(row2.mid(2, 10), QStringLiteral("elevench.."));
    EXPECT_EQ(row2.mid(35, 13), QStringLiteral("100 dol. 50.."));
    EXPECT_EQ(row2.mid(65, 14).trimmed(), QStringLiteral("101 dol. 50.."));
    EXPECT_EQ(lines[8].mid(65, 14).trimmed(), QStringLiteral("101 dol. 55.."));
    const QStringList small = reportLines({recordOf(1, 1, 100), recordOf(1, 1, 250), recordOf(1, 1, 5)});
    EXPECT_EQ(small[4].mid(65, 14).trimmed(), QStringLiteral("1 dol. 0 c."));
    EXPECT_EQ(small[6].mid(65, 14).trimmed(), QStringLiteral("3 dol. 50 c."));
    EXPECT_EQ(small[8].mid(65, 14).trimmed(), QStringLiteral("3 dol. 55 c."));

    // Names are written in 8 bits: a character that has none is a "?".
    auto d = recordOf(1, 1, 1);
    d.setUserName(QStringLiteral("Zo\u00eb \u65e5\u672c"));
    d.setProviderName(QString::fromUtf8("\u65e5\u672c\u65e5\u672c\u65e5\u672c\u65e5\u672c\u65e5\u672cabcdefghij"));
    const QStringList named = reportLines({d});
    EXPECT_EQ(named[4].mid(2, 11), QString::fromLatin1("Zo\xeb ??     "));
    EXPECT_EQ(named[4].mid(15, 18), QStringLiteral("??????????abcde.. "));
}

}  // namespace
