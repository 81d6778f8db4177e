#include "dialtally/core/ConnectionsModel.h"

#include "dialtally/core/Formats.h"
#include "dialtally/core/History.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace connections {

namespace {

struct ColumnInfo {
    const char* caption;
    int width;
    int sortKey;
};

// The list's columns in order; the first is the row's caption.
constexpr ColumnInfo kColumns[kColumnCount] = {
    {"User name", 78, -1},   {"Internet Provider", 100, 0}, {"Con. fee", 70, 1},
    {"Con. time", 70, 2},    {"Total fee", 75, 3},          {"Started date", 75, 4},
    {"Started time", 75, 5}, {"Ended date", 75, 6},         {"Ended time", 75, 7},
};

// Totals of a long history are kept wider than a record's fields; their texts show
// the nearest value a field could hold rather than a wrapped one.
std::int32_t clampToField(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

bool passes(const platform::LocalDateTime& start, HistoryFilter filter, int todayDay, int todayMonth)
{
    switch (filter) {
    case ThisMonth:
        return start.month == todayMonth;
    case ThisDay:
        return start.month == todayMonth && start.day == todayDay;
    case AllDays:
        break;
    }
    return true;
}

// Byte for byte, as unsigned codes: every capital letter before every small one.
int compareOrdinal(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    const auto* px = reinterpret_cast<const unsigned char*>(x.constData());
    const auto* py = reinterpret_cast<const unsigned char*>(y.constData());
    const bool before = std::lexicographical_compare(px, px + x.size(), py, py + y.size());
    if (before)
        return -1;
    const bool after = std::lexicographical_compare(py, py + y.size(), px, px + x.size());
    return after ? 1 : 0;
}

int compareValues(std::int64_t a, std::int64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

QString textAfter(const QString& text, QChar separator, int occurrence)
{
    qsizetype at = -1;
    for (int i = 0; i < occurrence; ++i) {
        at = text.indexOf(separator, at + 1);
        if (at < 0)
            return QString();
    }
    return text.mid(at + 1);
}

QString column(const QStringList& row, int index)
{
    return index < row.size() ? row.at(index) : QString();
}

}  // namespace

QString FormatMoney(std::int32_t cents)
{
    return formats::feeText(cents);
}

QString FormatDuration(std::int64_t seconds)
{
    // The clock's own text, with the hours running on past a day.
    const std::int64_t rest = seconds % 3600;
    return platform::clockText(static_cast<int>(seconds / 3600), static_cast<int>(rest / 60),
                               static_cast<int>(rest % 60));
}

QString FormatDateOrTime(platform::LocalDateTime time, bool date)
{
    if (date)
        return QStringLiteral("%1/%2/%3").arg(time.year).arg(time.month).arg(time.day);
    return formats::clockText(time);
}

FooterTexts zeroFooterTexts()
{
    return {QStringLiteral("0 dol. 0 c."), QStringLiteral("0 h. 0 m."), QStringLiteral("0 dol. 0 c.")};
}

FooterTexts footerTexts(const HistoryView& view)
{
    if (view.count == 0)
        return zeroFooterTexts();
    const auto count = static_cast<std::int64_t>(view.count);
    return {FormatMoney(clampToField(view.feeTotal)), FormatDuration(view.secondsTotal / count),
            FormatMoney(clampToField(view.feeTotal / count))};
}

int widestDigitsWidth(const TextAdvance& advance, QString text)
{
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d) {
        if (advance(QString(QLatin1Char(d))) > advance(QString(widest)))
            widest = QLatin1Char(d);
    }
    for (QChar& c : text) {
        if (c.isDigit())
            c = widest;
    }
    // In fractions of a pixel, rounded up: a text a fraction wider than its whole
    // pixels is cut by the drawing.
    return static_cast<int>(std::ceil(advance(text)));
}

bool sortKeyOfCaption(const QString& caption, int* key)
{
    for (const auto& c : kColumns) {
        if (caption == QLatin1String(c.caption)) {
            *key = c.sortKey;
            return true;
        }
    }
    return false;
}

std::int64_t leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Saturates instead of overflowing on a run of digits no field could hold.
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = std::min(kLimit, value * 10 + (text.at(i).unicode() - '0'));
    return negative ? -value : value;
}

std::int64_t moneyValue(const QString& text)
{
    return leadingNumber(text) * 100 + leadingNumber(textAfter(text, QLatin1Char('.'), 1));
}

std::int64_t durationValue(const QString& text)
{
    return leadingNumber(text) * 3600 + leadingNumber(textAfter(text, QLatin1Char(':'), 1)) * 60
           + leadingNumber(textAfter(text, QLatin1Char(':'), 2));
}

int compareRows(const QStringList& a, const QStringList& b, int key)
{
    switch (key) {
    case -1:
        return compareOrdinal(column(a, 0), column(b, 0));
    case 0:
        return compareOrdinal(column(a, 1), column(b, 1));
    case 1:
        return compareValues(moneyValue(column(a, 2)), moneyValue(column(b, 2)));
    case 2:
        return compareValues(durationValue(column(a, 3)), durationValue(column(b, 3)));
    default:
        return 0;
    }
}

// ---- the rows ------------------------------------------------------------------

namespace {

template <std::size_t N>
std::string_view storedText(const std::array<char, N>& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string_view(field.data(), static_cast<std::size_t>(end - field.begin()));
}

// The characters of a number's decimal text, its sign included.
int digitsOf(std::int64_t value)
{
    int n = value < 0 ? 2 : 1;
    for (std::uint64_t v = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
         v >= 10; v /= 10)
        ++n;
    return n;
}

int moneyLength(std::int32_t cents)
{
    return digitsOf(cents / 100) + digitsOf(cents % 100) + 9;  // " dol. ", " c."
}

int threePartLength(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return digitsOf(a) + digitsOf(b) + digitsOf(c) + 2;
}

std::array<std::uint16_t, 6> shownParts(const platform::LocalDateTime& t)
{
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

platform::LocalDateTime timeOf(const std::array<std::uint16_t, 6>& p)
{
    return {p[0], p[1], p[2], p[3], p[4], p[5]};
}

// Beyond this many distinct names only the longest of the rest is measured.
constexpr std::size_t kNamesMeasured = 2048;

}  // namespace

ConnectionsModel::ConnectionsModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

void ConnectionsModel::load(const QString& programPath, HistoryFilter filter, int todayDay, int todayMonth)
{
    beginResetModel();
    m_rows.clear();
    m_names.clear();
    history::RecordReader reader(programPath);
    m_rows.reserve(reader.recordsAtOpen());
    // Names by their stored bytes; a history has few, and one often follows itself.
    std::unordered_map<std::string, std::uint32_t> ids;
    std::string lastUser, lastProvider;
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t lastUserId = kNone, lastProviderId = kNone;
    const auto idOf = [this, &ids, kNone](std::string_view stored, std::string& last, std::uint32_t& lastId,
                                          QString (history::HistoryRecord::*shown)() const,
                                          const history::HistoryRecord& record) {
        if (lastId != kNone && stored == last)
            return lastId;
        last.assign(stored);
        const auto [at, added] = ids.try_emplace(last, static_cast<std::uint32_t>(m_names.size()));
        if (added) {
            const QString text = (record.*shown)();
            m_names.push_back({text, text.toUtf8()});
        }
        return lastId = at->second;
    };
    history::HistoryRecord record;
    std::size_t first = 0;
    while (reader.next(&record)) {
        const std::uint32_t user =
            idOf(storedText(record.UserName), lastUser, lastUserId, &history::HistoryRecord::userName, record);
        const std::uint32_t provider = idOf(storedText(record.ProviderName), lastProvider, lastProviderId,
                                            &history::HistoryRecord::providerName, record);
        m_rows.push_back({shownParts(record.StartTime), shownParts(record.EndTime), record.FeeCents,
                          record.DurationSeconds, user, provider});
        if (!passes(record.StartTime, filter, todayDay, todayMonth))
            first = m_rows.size();
    }
    m_view = HistoryView{};
    m_view.first = first;
    m_view.count = m_rows.size() - first;
    m_running.clear();
    m_running.reserve(m_view.count);
    m_order.clear();
    m_order.reserve(m_view.count);
    for (std::size_t i = first; i < m_rows.size(); ++i) {
        m_view.feeTotal += m_rows[i].fee;
        m_view.secondsTotal += m_rows[i].seconds;
        m_running.push_back(m_view.feeTotal);
        m_order.push_back(static_cast<std::uint32_t>(i));
    }
    endResetModel();
}

void ConnectionsModel::clear()
{
    beginResetModel();
    // Swapped out rather than cleared: a cleared vector keeps its memory.
    std::vector<Row>().swap(m_rows);
    std::vector<Name>().swap(m_names);
    std::vector<std::int64_t>().swap(m_running);
    std::vector<std::uint32_t>().swap(m_order);
    m_view = HistoryView{};
    endResetModel();
}

void ConnectionsModel::sortRows(int key, bool ascending)
{
    if (key >= kFirstUnsortableKey || m_order.empty())
        return;
    // Each row's sort value: the fee, the time, or the rank of its name among the
    // names, equal texts of equal rank.
    std::vector<std::int64_t> rankOfName;
    if (key < 1) {
        std::vector<std::uint32_t> byKey(m_names.size());
        for (std::uint32_t i = 0; i < byKey.size(); ++i)
            byKey[i] = i;
        const auto keyOf = [this](std::uint32_t i) {
            const QByteArray& k = m_names[i].key;
            return std::string_view(k.constData(), static_cast<std::size_t>(k.size()));
        };
        // string_view compares as unsigned bytes.
        std::sort(byKey.begin(), byKey.end(), [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); });
        rankOfName.resize(m_names.size());
        std::int64_t rank = 0;
        for (std::size_t i = 0; i < byKey.size(); ++i) {
            if (i > 0 && keyOf(byKey[i]) != keyOf(byKey[i - 1]))
                ++rank;
            rankOfName[byKey[i]] = rank;
        }
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<std::pair<std::int64_t, std::uint32_t>> keys;
    keys.reserve(m_order.size());
    for (std::uint32_t i : m_order) {
        const Row& r = m_rows[i];
        const std::int64_t value = key == 1   ? r.fee
                                   : key == 2 ? r.seconds
                                   : key == 0 ? rankOfName[r.provider]
                                              : rankOfName[r.user];
        keys.emplace_back(value, i);
    }
    if (ascending)
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    else
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t row = 0; row < keys.size(); ++row)
        m_order[row] = keys[row].second;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const ConnectionsModel::Row& ConnectionsModel::rowAt(int row) const
{
    return m_rows[m_order[static_cast<std::size_t>(row)]];
}

std::int64_t ConnectionsModel::runningTotalAt(int row) const
{
    return m_running[m_order[static_cast<std::size_t>(row)] - m_view.first];
}

QString ConnectionsModel::cell(const Row& r, std::int64_t runningTotal, int column) const
{
    switch (column) {
    case 0:
        return m_names[r.user].text;
    case 1:
        return m_names[r.provider].text;
    case 2:
        return FormatMoney(r.fee);
    case 3:
        return FormatDuration(r.seconds);
    case 4:
        return FormatMoney(clampToField(runningTotal));
    case 5:
        return FormatDateOrTime(timeOf(r.start), true);
    case 6:
        return FormatDateOrTime(timeOf(r.start), false);
    case 7:
        return FormatDateOrTime(timeOf(r.end), true);
    case 8:
        return FormatDateOrTime(timeOf(r.end), false);
    default:
        return QString();
    }
}

QString ConnectionsModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount())
        return QString();
    return cell(rowAt(row), runningTotalAt(row), column);
}

int ConnectionsModel::widestText(const TextAdvance& advance, int column) const
{
    // In fractions of a pixel, rounded up: a text a fraction wider than its whole
    // pixels is cut by the drawing.
    const auto whole = [](double width) { return static_cast<int>(std::ceil(width)); };
    if (m_order.empty() || column < 0 || column >= kColumnCount)
        return 0;
    const std::size_t count = m_order.size();
    if (column <= 1) {
        // The names of the rows shown, each measured once.
        std::vector<bool> seen(m_names.size());
        std::size_t measured = 0;
        double widest = 0;
        std::optional<std::uint32_t> longestRest;
        for (std::size_t i = 0; i < count; ++i) {
            const Row& r = m_rows[m_view.first + i];
            const std::uint32_t name = column == 0 ? r.user : r.provider;
            if (seen[name])
                continue;
            seen[name] = true;
            if (measured++ < kNamesMeasured)
                widest = std::max(widest, advance(m_names[name].text));
            else if (!longestRest || m_names[name].text.size() > m_names[*longestRest].text.size())
                longestRest = name;
        }
        if (longestRest)
            widest = std::max(widest, advance(m_names[*longestRest].text));
        return whole(widest);
    }
    return widestValueTexts(advance)[column];
}

std::array<int, kColumnCount> ConnectionsModel::widestValueTexts(const TextAdvance& advance) const
{
    std::array<int, kColumnCount> widths{};
    if (m_order.empty())
        return widths;
    // The separators are the same in every row, so the longest text with the widest
    // digit in each place is as wide as any text of the column.
    const auto lengthOf = [](const Row& r, std::int64_t runningTotal, int column) {
        switch (column) {
        case 2:
            return moneyLength(r.fee);
        case 3:
            return threePartLength(r.seconds / 3600, r.seconds % 3600 / 60, r.seconds % 60);
        case 4:
            return moneyLength(clampToField(runningTotal));
        case 5:
            return threePartLength(r.start[0], r.start[1], r.start[2]);
        case 6:
            return threePartLength(r.start[3], r.start[4], r.start[5]);
        case 7:
            return threePartLength(r.end[0], r.end[1], r.end[2]);
        default:
            return threePartLength(r.end[3], r.end[4], r.end[5]);
        }
    };
    // One pass over the rows for every column: a long history is read from memory
    // once instead of once a column.
    constexpr int kFirstValue = 2;
    std::array<std::size_t, kColumnCount> longest{};
    std::array<int, kColumnCount> longestLength;
    longestLength.fill(-1);
    const std::size_t count = m_order.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Row& r = m_rows[m_view.first + i];
        for (int c = kFirstValue; c < kColumnCount; ++c) {
            const int length = lengthOf(r, m_running[i], c);
            if (length > longestLength[c]) {
                longestLength[c] = length;
                longest[c] = i;
            }
        }
    }
    for (int c = kFirstValue; c < kColumnCount; ++c)
        widths[c] = widestDigitsWidth(advance, cell(m_rows[m_view.first + longest[c]], m_running[longest[c]], c));
    return widths;
}

QStringList ConnectionsModel::rowTexts(int row) const
{
    QStringList texts;
    for (int c = 0; c < kColumnCount; ++c)
        texts << text(row, c);
    return texts;
}

int ConnectionsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int ConnectionsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ConnectionsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && holdsName(index.column())))
        return text(index.row(), index.column());
    return QVariant();
}

QVariant ConnectionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kColumns[section].caption);
}

Qt::ItemFlags ConnectionsModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---- columns ---------------------------------------------------------------------

int designColumnWidth(int column)
{
    return column >= 0 && column < kColumnCount ? kColumns[column].width : 0;
}

bool holdsName(int column)
{
    return column == 0 || column == 1;
}

int designNameLength(int column)
{
    // The design's 78 and 100 pixels at its font's 5-pixel average character, less the
    // cell's margins.
    switch (column) {
    case 0:
        return 14;
    case 1:
        return 18;
    default:
        return 0;
    }
}

QString designValueSample(int column)
{
    constexpr std::int32_t kFiveDigitDollars = 9999999;
    constexpr std::int64_t kLongestConnection = 999 * 3600 + 59 * 60 + 59;
    const platform::LocalDateTime latest{9999, 12, 29, 23, 59, 59};
    switch (column) {
    case 2:
    case 4:
        return FormatMoney(kFiveDigitDollars);
    case 3:
        return FormatDuration(kLongestConnection);
    case 5:
    case 7:
        return FormatDateOrTime(latest, true);
    case 6:
    case 8:
        return FormatDateOrTime(latest, false);
    default:
        return QString();
    }
}

}  // namespace connections
