#include "dialtally/core/History.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace history {

namespace {

constexpr int kEndTimeOffset = 16;
constexpr int kFeeOffset = 32;
constexpr int kDurationOffset = 36;
constexpr int kProviderOffset = 40;
constexpr int kUserOffset = 140;
static_assert(kUserOffset + kUserNameSize == kRecordSize);

// A time in the file is the Windows calendar record: eight 16-bit fields, the day of
// the week third. The day of the week follows from the date, so it is written from it
// and not kept on reading.
constexpr int kTimeSize = 16;
static_assert(kEndTimeOffset == kTimeSize && kFeeOffset == kEndTimeOffset + kTimeSize);

void putTime(char* out, const platform::LocalDateTime& t)
{
    const std::uint16_t fields[8] = {
        t.year, t.month, static_cast<std::uint16_t>(t.dayOfWeek()), t.day, t.hour, t.minute, t.second, t.millisecond};
    for (std::size_t i = 0; i < 8; ++i)
        qToLittleEndian<std::uint16_t>(fields[i], out + 2 * i);
}

platform::LocalDateTime getTime(const char* in)
{
    std::uint16_t f[8];
    for (std::size_t i = 0; i < 8; ++i)
        f[i] = qFromLittleEndian<std::uint16_t>(in + 2 * i);
    return {f[0], f[1], f[3], f[4], f[5], f[6], f[7]};
}

template <std::size_t N>
QString textOf(const std::array<char, N>& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return QString::fromUtf8(field.data(), end - field.begin());
}

// Cuts the text to what fits before the terminating zero, never inside a character.
template <std::size_t N>
void setText(std::array<char, N>& field, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > static_cast<qsizetype>(N - 1)) {
        qsizetype cut = N - 1;
        while (cut > 0 && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    std::memcpy(field.data(), bytes.constData(), bytes.size());
    field[bytes.size()] = '\0';
}

}  // namespace

QString HistoryRecord::providerName() const
{
    return textOf(ProviderName);
}

QString HistoryRecord::userName() const
{
    return textOf(UserName);
}

void HistoryRecord::setProviderName(const QString& name)
{
    setText(ProviderName, name);
}

void HistoryRecord::setUserName(const QString& name)
{
    setText(UserName, name);
}

QByteArray encode(const HistoryRecord& record)
{
    QByteArray bytes(kRecordSize, '\0');
    char* out = bytes.data();
    putTime(out, record.StartTime);
    putTime(out + kEndTimeOffset, record.EndTime);
    qToLittleEndian<std::int32_t>(record.FeeCents, out + kFeeOffset);
    qToLittleEndian<std::int32_t>(record.DurationSeconds, out + kDurationOffset);
    std::memcpy(out + kProviderOffset, record.ProviderName.data(), kProviderNameSize);
    std::memcpy(out + kUserOffset, record.UserName.data(), kUserNameSize);
    return bytes;
}

void decode(const char* in, HistoryRecord* record)
{
    record->StartTime = getTime(in);
    record->EndTime = getTime(in + kEndTimeOffset);
    record->FeeCents = qFromLittleEndian<std::int32_t>(in + kFeeOffset);
    record->DurationSeconds = qFromLittleEndian<std::int32_t>(in + kDurationOffset);
    std::memcpy(record->ProviderName.data(), in + kProviderOffset, kProviderNameSize);
    std::memcpy(record->UserName.data(), in + kUserOffset, kUserNameSize);
    // A record written by someone else may lack the terminators; readers stop at the
    // field's end then.
    record->ProviderName.back() = '\0';
    record->UserName.back() = '\0';
}

HistoryRecord decode(const QByteArray& bytes)
{
    HistoryRecord record;
    if (bytes.size() >= kRecordSize)
        decode(bytes.constData(), &record);
    return record;
}

QString historyFile(const QString& programPath)
{
    if (programPath.isEmpty())
        return QString::fromLatin1(kFileName);
    return QDir(programPath).filePath(QString::fromLatin1(kFileName));
}

namespace {

// Large enough that the reads cost little beside the decoding, small enough to stay
// in the cache while it is decoded.
constexpr qsizetype kRecordsPerBlock = 1024;

}  // namespace

RecordReader::RecordReader(const QString& programPath)
    : m_file(historyFile(programPath))
{
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    m_recordsAtOpen = static_cast<std::size_t>(std::max<qint64>(0, m_file.size()) / kRecordSize);
    m_block.resize(kRecordsPerBlock * kRecordSize);
}

bool RecordReader::fill()
{
    if (!m_file.isOpen())
        return false;
    // A record split across two reads is moved to the front and completed.
    const qsizetype kept = m_end - m_at;
    if (kept > 0)
        std::memmove(m_block.data(), m_block.constData() + m_at, static_cast<std::size_t>(kept));
    m_at = 0;
    m_end = kept;
    while (m_end < kRecordSize) {
        const qint64 got = m_file.read(m_block.data() + m_end, m_block.size() - m_end);
        if (got <= 0) {
            m_file.close();
            return false;
        }
        m_end += got;
    }
    return true;
}

bool RecordReader::next(HistoryRecord* record)
{
    if (m_end - m_at < kRecordSize && !fill())
        return false;
    decode(m_block.constData() + m_at, record);
    m_at += kRecordSize;
    return true;
}

std::vector<HistoryRecord> readAll(const QString& programPath)
{
    RecordReader reader(programPath);
    std::vector<HistoryRecord> records;
    records.reserve(reader.recordsAtOpen());
    HistoryRecord record;
    while (reader.next(&record))
        records.push_back(record);
    return records;
}

std::size_t NameOrder::place(std::string_view name, bool* added)
{
    if (added)
        *added = false;
    // Records of one user or provider tend to come in runs.
    if (m_last < m_names.size() && m_names[m_last] == name)
        return m_last;
    const auto found = m_places.find(name);
    if (found != m_places.end())
        return m_last = found->second;
    m_names.emplace_back(name);
    m_last = m_names.size() - 1;
    m_places.emplace(m_names.back(), m_last);
    if (added)
        *added = true;
    return m_last;
}

namespace {

// The history tells who was online when: only its owner reads it. A file of ours that
// an earlier version left open to others loses their access.
void keepToOwner(int fd)
{
    struct stat info { };
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) != 0)
        ::fchmod(fd, info.st_mode & 07700);
}

}  // namespace

void keepPrivate(const QString& programPath)
{
    const int fd = ::open(QFile::encodeName(historyFile(programPath)).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return;
    keepToOwner(fd);
    ::close(fd);
}

bool append(const QString& programPath, const HistoryRecord& record, QString* error)
{
    const QString path = historyFile(programPath);
    const QByteArray native = QFile::encodeName(path);
    const auto fail = [error](int code) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    bool created = false;
    int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        created = fd >= 0;
    }
    if (fd < 0)
        return fail(errno);
    keepToOwner(fd);
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return fail(code);
    }
    // A torn tail (a write cut short earlier, or bytes not of ours) is not part of any
    // record: the new record goes over it, so every record stays at a multiple of 192.
    const off_t offset = info.st_size - info.st_size % kRecordSize;
    const QByteArray bytes = encode(record);
    int code = 0;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written), offset + written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            code = n < 0 ? errno : ENOSPC;
            break;
        }
        written += n;
    }
    // The record must be on disk before the caller marks the connection as saved.
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (code != 0) {
        // Back to the size before the write: no part of this record may stay behind
        // to be taken for data.
        if (::ftruncate(fd, offset) == 0)
            ::fsync(fd);
        ::close(fd);
        return fail(code);
    }
    if (::close(fd) != 0)
        return fail(errno);
    // A new file is only found again after a power cut once its folder entry is on disk.
    if (created) {
        const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
        const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

bool sameConnection(const HistoryRecord& a, const HistoryRecord& b)
{
    return a.StartTime == b.StartTime && a.providerName() == b.providerName();
}

bool holds(const QString& programPath, const HistoryRecord& record, int lastRecords)
{
    QFile file(historyFile(programPath));
    if (lastRecords < 1 || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 whole = file.size() / kRecordSize;
    const qint64 first = std::max<qint64>(0, whole - lastRecords);
    if (whole == 0 || !file.seek(first * kRecordSize))
        return false;
    for (qint64 i = first; i < whole; ++i) {
        const QByteArray bytes = file.read(kRecordSize);
        if (bytes.size() != kRecordSize)
            return false;
        if (sameConnection(decode(bytes), record))
            return true;
    }
    return false;
}

bool truncate(const QString& programPath, QString* error)
{
    const int fd =
        ::open(QFile::encodeName(historyFile(programPath)).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    keepToOwner(fd);
    if (::close(fd) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}


StartupSums startupSums(const QString& programPath, const QDate& today)
{
    StartupSums sums;
    std::int64_t todayFee = 0;
    RecordReader reader(programPath);
    HistoryRecord record;
    while (reader.next(&record)) {
        sums.period.feeCents += record.FeeCents;
        sums.period.seconds += record.DurationSeconds;
        if (record.StartTime.month == today.month() && record.StartTime.day == today.day())
            todayFee += record.FeeCents;
    }
    // Kept in the 32 bits the main window holds it in, as the sum of the records.
    sums.todayFee = static_cast<std::int32_t>(static_cast<std::uint32_t>(todayFee));
    return sums;
}

}  // namespace history
