// The text report of the history: its file name, and its content written line by line
// as the records come, each line with its CR LF.
#pragma once

#include "dialtally/core/History.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace report {

QString reportFileName(int year, int month, int day);

// The reports folder, made when missing. It is its owner's alone, as the reports in it
// are (they list the user's connections); false when it can't be made.
bool makeReportsFolder(const QString& folder);
// Takes the access of others from a reports folder that an earlier version left open.
void keepReportsPrivate(const QString& folder);

class ReportWriter {
public:
    // Writes the banner, the rules and the header.
    explicit ReportWriter(QIODevice& out);
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // The row of the next record in file order and its rule.
    void add(const history::HistoryRecord& record);
    // Hands what is left to the device; false when any write fell short.
    bool finish();

private:
    void put(const char* bytes, std::size_t size);

    QIODevice& m_out;
    // The row being made, reused for every record.
    std::array<char, 142> m_line{};
    // Rows waiting to go out, handed to the device in large blocks.
    QByteArray m_pending;
    std::int64_t m_total = 0;
    bool m_ok = true;
};

}  // namespace report
