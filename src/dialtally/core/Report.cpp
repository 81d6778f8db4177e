#include "dialtally/core/Report.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace report {

QString reportFileName(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3.rpt").arg(year).arg(month).arg(day);
}

bool makeReportsFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    keepReportsPrivate(folder);
    return true;
}

void keepReportsPrivate(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat info { };
    if (::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) != 0)
        ::chmod(native.constData(), info.st_mode & 07700);
}

namespace {

constexpr int kReportWidth = 140;
constexpr std::size_t kReportLine = kReportWidth + 2;
// Rows go to the device in blocks of about this size.
constexpr qsizetype kReportBlock = qsizetype{64} * 1024;

struct Cell {
    char text[48];
    std::size_t size = 0;

    void add(std::string_view part)
    {
        const std::size_t n = std::min(part.size(), sizeof text - size);
        std::memcpy(text + size, part.data(), n);
        size += n;
    }
    void add(std::int64_t number)
    {
        size = static_cast<std::size_t>(std::to_chars(text + size, text + sizeof text, number).ptr - text);
    }
    // Longer than `longest`: the first `kept` characters and "..".
    void cut(std::size_t longest, std::size_t kept)
    {
        if (size > longest) {
            size = kept;
            add("..");
        }
    }
};

Cell moneyCell(std::int32_t cents)
{
    Cell c;
    c.add(cents / 100);
    c.add(" dol. ");
    c.add(cents % 100);
    c.add(" c.");
    c.cut(13, 11);
    return c;
}

Cell durationCell(std::int32_t seconds)
{
    Cell c;
    c.add(seconds / 3600);
    c.add(":");
    c.add((seconds % 3600) / 60);
    c.add(":");
    c.add(seconds % 60);
    c.cut(11, 9);
    return c;
}

Cell threePartCell(int a, char separator, int b, int d)
{
    const char sep[1] = {separator};
    Cell c;
    c.add(a);
    c.add(std::string_view(sep, 1));
    c.add(b);
    c.add(std::string_view(sep, 1));
    c.add(d);
    return c;
}

Cell dateCell(const platform::LocalDateTime& t)
{
    return threePartCell(t.year, '/', t.month, t.day);
}

Cell timeCell(const platform::LocalDateTime& t)
{
    return threePartCell(t.hour, ':', t.minute, t.second);
}

// A name as the report's 8-bit text: plain ASCII as it is stored; anything else
// through the text the program shows, a "?" for each character 8 bits can't hold.
template <std::size_t N>
Cell nameCell(const std::array<char, N>& field, std::size_t longest, std::size_t kept)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    const std::string_view stored(field.data(), static_cast<std::size_t>(end - field.begin()));
    Cell c;
    if (std::all_of(stored.begin(), stored.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; })) {
        c.add(stored.substr(0, longest + 1));
    } else {
        const QString shown = QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
        const QByteArray bytes = shown.left(static_cast<qsizetype>(longest) + 1).toLatin1();
        c.add(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    c.cut(longest, kept);
    return c;
}

}  // namespace

ReportWriter::ReportWriter(QIODevice& out)
    : m_out(out)
{
    m_pending.reserve(kReportBlock + static_cast<qsizetype>(2 * kReportLine));
    const std::string stars(52, '*');
    const std::string banner = stars + " Report made by Dialtally 2.01 " + stars + "\r\n";
    const std::string rule = std::string(kReportWidth, '=') + "\r\n";
    const std::string header = "|    User    | Internet provider |    Con. fee   |  Con. time  |   Total fee   | "
                               "Started date | Started time |  Ended date  |  Ended time  |\r\n";
    for (const std::string* line : {&banner, &rule, &header, &rule})
        put(line->data(), line->size());
}

void ReportWriter::add(const history::HistoryRecord& record)
{
    static const auto blank = [] {
        std::array<char, kReportLine> line;
        line.fill(' ');
        for (int bar : {0, 13, 33, 49, 63, 79, 94, 109, 124, 139})
            line[static_cast<std::size_t>(bar)] = '|';
        line[kReportWidth] = '\r';
        line[kReportWidth + 1] = '\n';
        return line;
    }();
    static const auto underline = [] {
        std::array<char, kReportLine> line;
        line.fill('_');
        line[kReportWidth] = '\r';
        line[kReportWidth + 1] = '\n';
        return line;
    }();

    m_total += record.FeeCents;
    m_line = blank;
    const auto cell = [this](std::size_t column, const Cell& c) {
        std::memcpy(m_line.data() + column, c.text, std::min(c.size, kReportWidth - column));
    };
    cell(2, nameCell(record.UserName, 10, 8));
    cell(15, nameCell(record.ProviderName, 17, 15));
    cell(35, moneyCell(record.FeeCents));
    cell(51, durationCell(record.DurationSeconds));
    cell(65, moneyCell(static_cast<std::int32_t>(m_total)));
    cell(81, dateCell(record.StartTime));
    cell(96, timeCell(record.StartTime));
    cell(112, dateCell(record.EndTime));
    cell(127, timeCell(record.EndTime));
    put(m_line.data(), m_line.size());
    put(underline.data(), underline.size());
}

void ReportWriter::put(const char* bytes, std::size_t size)
{
    m_pending.append(bytes, static_cast<qsizetype>(size));
    if (m_pending.size() >= kReportBlock) {
        m_ok = m_out.write(m_pending) == m_pending.size() && m_ok;
        m_pending.resize(0);
    }
}

bool ReportWriter::finish()
{
    if (!m_pending.isEmpty()) {
        m_ok = m_out.write(m_pending) == m_pending.size() && m_ok;
        m_pending.resize(0);
    }
    return m_ok;
}

}  // namespace report
