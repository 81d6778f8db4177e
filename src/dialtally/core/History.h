// "history.dat": the record of every finished connection of the counter period, a
// plain sequence of 192-byte records, little-endian, no header. This is the one codec
// and the one set of file accesses that every reader and writer uses.
#pragma once

#include "platform/core/LocalTime.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace history {

inline constexpr int kRecordSize = 192;
inline constexpr int kProviderNameSize = 100;
inline constexpr int kUserNameSize = 52;
inline constexpr const char* kFileName = "history.dat";

struct HistoryRecord {
    platform::LocalDateTime StartTime;
    platform::LocalDateTime EndTime;
    std::int32_t FeeCents = 0;
    std::int32_t DurationSeconds = 0;
    // Zero-terminated 8-bit text; bytes after the terminator carry no meaning.
    std::array<char, kProviderNameSize> ProviderName{};
    std::array<char, kUserNameSize> UserName{};

    QString providerName() const;
    QString userName() const;
    // Store text cut so that the terminating zero always fits (99 and 51 characters).
    void setProviderName(const QString& name);
    void setUserName(const QString& name);
};

QByteArray encode(const HistoryRecord& record);
// `bytes` must hold at least kRecordSize bytes; only the first kRecordSize are used.
HistoryRecord decode(const QByteArray& bytes);
// The record in the kRecordSize bytes at `bytes`.
void decode(const char* bytes, HistoryRecord* record);

// The file in the program folder ("history.dat" under `programPath`; with an empty
// path, in the current directory, as the programs have always done).
QString historyFile(const QString& programPath);

// Reads the file front to back in blocks of records, so a pass over a long history
// holds one block rather than the whole file. A missing or unreadable file has no
// records; a tail shorter than a record is not one.
class RecordReader {
public:
    explicit RecordReader(const QString& programPath);
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The next record in file order; false at the end.
    bool next(HistoryRecord* record);
    // The whole records the file held when it was opened.
    std::size_t recordsAtOpen() const { return m_recordsAtOpen; }

private:
    bool fill();

    QFile m_file;
    QByteArray m_block;
    qsizetype m_at = 0;
    qsizetype m_end = 0;
    std::size_t m_recordsAtOpen = 0;
};

// The distinct texts of a record field (user or provider names) in the order of their
// first appearance, compared byte for byte, so names that differ only in letter case
// stay apart. A pass over a long history looks each record's name up here without
// copying it.
class NameOrder {
public:
    // The name's place in the order of first appearance; a name not seen before is
    // given the next place, and `added` says so.
    std::size_t place(std::string_view name, bool* added = nullptr);
    template <std::size_t N>
    std::size_t place(const std::array<char, N>& field, bool* added = nullptr)
    {
        return place(std::string_view(field.data(), ::strnlen(field.data(), N)), added);
    }
    std::size_t size() const { return m_names.size(); }

private:
    // A deque never moves its elements, so the views in the index stay valid.
    std::deque<std::string> m_names;
    std::unordered_map<std::string_view, std::size_t> m_places;
    std::size_t m_last = 0;
};

// Every whole record of the file, in file order. A missing or unreadable file gives
// none; a tail shorter than a record is ignored.
std::vector<HistoryRecord> readAll(const QString& programPath);

struct Totals {
    std::int64_t feeCents = 0;
    std::int64_t seconds = 0;
};

// Appends one record at a whole-record offset (a torn tail left by an earlier failed
// write is overwritten, never built upon) and flushes it to disk before returning.
// Returns false with `error` set to the system's reason ("No space left on device")
// when the record could not be written in full; the file is then cut back to the
// whole records it held before.
bool append(const QString& programPath, const HistoryRecord& record, QString* error = nullptr);

// One connection is one start: two records with the same start time and provider
// describe the same connection.
bool sameConnection(const HistoryRecord& a, const HistoryRecord& b);
// Whether one of the file's last `lastRecords` whole records is this connection (it
// was saved already).
bool holds(const QString& programPath, const HistoryRecord& record, int lastRecords = 1);

// The sums that start-up takes from the history in one pass: the period's fee and
// time, and today's fee (the records that started on today's month and day).
struct StartupSums {
    Totals period;
    std::int32_t todayFee = 0;
};
StartupSums startupSums(const QString& programPath, const QDate& today);

// Replaces the file with an empty one; false with `error` set on failure.
bool truncate(const QString& programPath, QString* error = nullptr);

// The file is its owner's alone (0600), as every writer here makes it; this takes the
// access of others from one that an earlier version left open to them.
void keepPrivate(const QString& programPath);

}  // namespace history
