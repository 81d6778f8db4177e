#include "ConnectionsDialog.h"

#include "Application.h"
#include "CellText.h"
#include "Help.h"
#include "MonitoringSession.h"
#include "Formats.h"
#include "WindowPlacement.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace fee {

int ConnectionsSortDirection = 0;
int ConnectionsSortKey = 0;
int ConnectionsLastSortKey = 0;

namespace {

struct ColumnInfo {
    const char* caption;
    int width;
    int sortKey;
};

// The list's columns in order; the first is the row's caption.
constexpr ColumnInfo kColumns[kColumnCount] = {
    {"User name", 78, -1},        {"Internet Provider", 100, 0}, {"Con. fee", 70, 1},
    {"Con. time", 70, 2},         {"Total fee", 75, 3},          {"Started date", 75, 4},
    {"Started time", 75, 5},      {"Ended date", 75, 6},         {"Ended time", 75, 7},
};

// Totals of a long history are kept wider than a record's fields; their texts show
// the nearest value a field could hold rather than a wrapped one.
std::int32_t clampToField(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool passes(const platform::SystemTime& start, HistoryFilter filter, int todayDay, int todayMonth)
{
    switch (filter) {
    case ThisMonth:
        return start.wMonth == todayMonth;
    case ThisDay:
        return start.wMonth == todayMonth && start.wDay == todayDay;
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

QPixmap crossMark()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(210, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return pixmap;
}

QPixmap arrow(bool down)
{
    QPixmap pixmap(20, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (down) {
        path.moveTo(7, 1);
        path.lineTo(13, 1);
        path.lineTo(13, 9);
        path.lineTo(18, 9);
        path.lineTo(10, 17);
        path.lineTo(2, 9);
        path.lineTo(7, 9);
    } else {
        path.moveTo(7, 17);
        path.lineTo(13, 17);
        path.lineTo(13, 9);
        path.lineTo(18, 9);
        path.lineTo(10, 1);
        path.lineTo(2, 9);
        path.lineTo(7, 9);
    }
    path.closeSubpath();
    p.setPen(QPen(QColor(0, 0, 120), 1));
    p.setBrush(QColor(30, 80, 220));
    p.drawPath(path);
    return pixmap;
}

}  // namespace

QString FormatMoney(std::int32_t cents)
{
    return formats::feeText(cents);
}

QString FormatDuration(std::int64_t seconds)
{
    const std::int64_t rest = seconds % 3600;
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(rest / 60).arg(rest % 60);
}

QString FormatDateOrTime(platform::SystemTime time, bool date)
{
    if (date)
        return QStringLiteral("%1/%2/%3").arg(time.wYear).arg(time.wMonth).arg(time.wDay);
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
    return {FormatMoney(clampToField(view.feeTotal)),
            FormatDuration(view.secondsTotal / count),
            FormatMoney(clampToField(view.feeTotal / count))};
}

void resetSortState()
{
    ConnectionsSortDirection = 0;
    ConnectionsSortKey = 0;
    ConnectionsLastSortKey = 0;
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

std::array<std::uint16_t, 6> shownParts(const platform::SystemTime& t)
{
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

platform::SystemTime timeOf(const std::array<std::uint16_t, 6>& p)
{
    return {p[0], p[1], 0, p[2], p[3], p[4], p[5], 0};
}

// Beyond this many distinct names only the longest of the rest is measured.
constexpr std::size_t kNamesMeasured = 2048;

}  // namespace

ConnectionsModel::ConnectionsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

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
        const std::uint32_t user = idOf(storedText(record.UserName), lastUser, lastUserId,
                                        &history::HistoryRecord::userName, record);
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

int ConnectionsModel::widestText(const QFont& font, int column) const
{
    // In fractions of a pixel, rounded up: a text a fraction wider than its whole
    // pixels is cut by the drawing.
    const QFontMetricsF metrics(font);
    const auto whole = [](qreal width) { return static_cast<int>(std::ceil(width)); };
    if (m_order.empty() || column < 0 || column >= kColumnCount)
        return 0;
    const std::size_t count = m_order.size();
    if (column <= 1) {
        // The names of the rows shown, each measured once.
        std::vector<bool> seen(m_names.size());
        std::size_t measured = 0;
        qreal widest = 0;
        std::optional<std::uint32_t> longestRest;
        for (std::size_t i = 0; i < count; ++i) {
            const Row& r = m_rows[m_view.first + i];
            const std::uint32_t name = column == 0 ? r.user : r.provider;
            if (seen[name])
                continue;
            seen[name] = true;
            if (measured++ < kNamesMeasured)
                widest = std::max(widest, metrics.horizontalAdvance(m_names[name].text));
            else if (!longestRest || m_names[name].text.size() > m_names[*longestRest].text.size())
                longestRest = name;
        }
        if (longestRest)
            widest = std::max(widest, metrics.horizontalAdvance(m_names[*longestRest].text));
        return whole(widest);
    }
    // The separators are the same in every row, so the longest text with the widest
    // digit in each place is as wide as any text of the column.
    const auto lengthOf = [column](const Row& r, std::int64_t runningTotal) {
        switch (column) {
        case 2:
            return moneyLength(r.fee);
        case 3:
            return threePartLength(r.seconds / 3600, r.seconds % 3600 / 60, r.seconds % 60);
        case 4:
            return moneyLength(clampToField(runningTotal));
        case 5:
        case 6:
            return column == 5 ? threePartLength(r.start[0], r.start[1], r.start[2])
                               : threePartLength(r.start[3], r.start[4], r.start[5]);
        default:
            return column == 7 ? threePartLength(r.end[0], r.end[1], r.end[2])
                               : threePartLength(r.end[3], r.end[4], r.end[5]);
        }
    };
    std::size_t longest = 0;
    int longestLength = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const int length = lengthOf(m_rows[m_view.first + i], m_running[i]);
        if (length > longestLength) {
            longestLength = length;
            longest = i;
        }
    }
    QChar widestDigit = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d) {
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(d);
    }
    QString text = cell(m_rows[m_view.first + longest], m_running[longest], column);
    for (QChar& c : text) {
        if (c.isDigit())
            c = widestDigit;
    }
    return whole(metrics.horizontalAdvance(text));
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
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return text(index.row(), index.column());
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

// ---- layout ----------------------------------------------------------------------

int designColumnWidth(int column)
{
    return column >= 0 && column < kColumnCount ? kColumns[column].width : 0;
}

int neededColumnWidth(int designWidth, int captionWidth, int widestTextWidth, int textMargins)
{
    return std::max({designWidth, captionWidth, widestTextWidth > 0 ? widestTextWidth + textMargins : 0});
}

Layout layoutFor(int W, int H, const LabelWidths& widths)
{
    Layout l;
    constexpr int tableLeft = 8, tableTop = 4, bevel1Left = 8, bevel1Height = 31;
    l.table = QRect(tableLeft, tableTop, W - 24, H - 115);
    l.bevel1 = QRect(bevel1Left, H - 108, W - 24, bevel1Height);
    const int a = static_cast<int>(l.bevel1.width() * 0.38);
    l.bevel5 = QPoint(l.bevel1.width() - 2 * a, H - 104);
    l.bevel3 = QPoint(l.bevel1.width() - a, H - 104);
    l.groupBoxTop = H - 72;
    l.okButton = QPoint(W - 177, H - 60);
    l.helpButton = QPoint(W - 97, H - 60);
    const int top = H - 100;
    const int b1 = l.bevel1.left();
    const int b5 = l.bevel5.x();
    const int b3 = l.bevel3.x();
    // Each field is its caption, a gap of 10 and its value, centred between its bevels.
    // The caption is measured rather than taken at the width it had in the design's
    // font, which is narrower than any font here: a fixed width would push the field
    // over its right bevel.
    constexpr int gap = 10;
    l.label1 = QPoint(b1 + (b5 - b1 - (widths.label2 + widths.label1 + gap)) / 2, top);
    l.label2 = QPoint(l.label1.x() + widths.label1 + gap, top);
    l.label7 = QPoint(b5 + (b3 - b5 - (widths.label8 + widths.label7 + gap)) / 2, top);
    l.label8 = QPoint(l.label7.x() + widths.label7 + gap, top);
    l.label3 = QPoint(b3 + (b1 + l.bevel1.width() - b3 - (widths.label4 + widths.label3 + gap)) / 2, top);
    l.label4 = QPoint(l.label3.x() + widths.label3 + gap, top);
    return l;
}

}  // namespace fee

// =====================================================================================
// Loading
// =====================================================================================

void LoadHistory(ConnectionsDialog& dialog, fee::HistoryFilter filter)
{
    // Today once, before the file is read, so a load across midnight filters by one day.
    const QDate today = platform::clock().now().date();
    dialog.rows().load(dialog.session().programPath, filter, today.day(), today.month());
    dialog.fitColumns();

    // A history that is missing or empty also shows the zero footer: totals left from
    // an earlier load must not stand beside an empty list.
    const fee::FooterTexts footer = fee::footerTexts(dialog.rows().view());
    dialog.Label2->setText(footer.totalFee);
    dialog.Label4->setText(footer.averageTime);
    dialog.Label8->setText(footer.averageCost);
    // Centred again for the new values: a value wider than the one the footer was laid
    // out for would otherwise run into the next field.
    dialog.FormResize();
}

void ClearConnectionTable(ConnectionsDialog& dialog)
{
    dialog.rows().clear();
}

// =====================================================================================
// The dialog
// =====================================================================================

ConnectionsDialog::ConnectionsDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , m_session(session)
{
    setObjectName(QStringLiteral("Form7"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Connections"));
    buildWindow();
    FormConstrainedResize();
    resize(fee::kMinimumOuterWidth - fee::kDesignFrameWidth,
           fee::kMinimumOuterHeight - fee::kDesignFrameHeight);
    FormResize();
}

ConnectionsDialog::~ConnectionsDialog() = default;

void ConnectionsDialog::buildWindow()
{
    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    named(BitBtn1, "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(544, 236, 73, 25);

    Bevel1 = new QFrame(this);
    named(Bevel1, "Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 188, 697, 31);

    // The footer's three fields were drawn for a font narrower than any here; a size
    // smaller than the dialog's keeps each within its bevels at the smallest window.
    QFont footerFont = font();
    footerFont.setPointSizeF(footerFont.pointSizeF() * 0.85);
    const auto label = [this, &named, &footerFont](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        named(l, name);
        l->setFont(footerFont);
        l->adjustSize();
        return l;
    };
    Label1 = label("Label1", "Total fee:");
    Label2 = label("Label2", "0 dol. 0 c.");
    Label3 = label("Label3", "Average time per connention:");
    Label4 = label("Label4", "0 h. 0 m.");

    // A bevel of the left-line shape: a sunken line down its left edge.
    const auto leftLine = [this, &named](const char* name, int x, int y, int w, int h) {
        auto* f = new QFrame(this);
        named(f, name);
        f->setFrameShape(QFrame::NoFrame);
        f->setStyleSheet(QStringLiteral("QFrame { border: none; border-left: 2px groove palette(mid); }"));
        f->setGeometry(x, y, w, h);
        return f;
    };
    Bevel2 = leftLine("Bevel2", 120, 215, 0, 21);
    Bevel3 = leftLine("Bevel3", 432, 192, 9, 21);
    Bevel5 = leftLine("Bevel5", 167, 192, 9, 21);

    Label7 = label("Label7", "Average cost per connection:");
    Label8 = label("Label8", "0 dol. 0 c.");

    m_rows = new fee::ConnectionsModel(this);
    Table = new QTableView(this);
    named(Table, "Table");
    Table->setModel(m_rows);
    Table->setGeometry(8, 4, 697, 181);
    Table->setShowGrid(true);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSortingEnabled(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    // Every row the same height, never measured: a long history has too many rows to
    // look at each.
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->horizontalHeader()->setSectionsClickable(true);
    Table->horizontalHeader()->setHighlightSections(false);
    Table->horizontalHeader()->setStretchLastSection(false);
    fitColumns();
    connect(Table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            platform::guarded(this, &ConnectionsDialog::TableColumnClick));

    BitBtn2 = new QPushButton(QStringLiteral("&Help"), this);
    named(BitBtn2, "BitBtn2");
    BitBtn2->setGeometry(624, 236, 73, 25);

    GroupBox1 = new QGroupBox(QStringLiteral("Show connections by"), this);
    named(GroupBox1, "GroupBox1");
    GroupBox1->setGeometry(8, 224, 225, 37);
    const auto speedButton = [this, &named](const char* name, const char* text, int x) {
        auto* b = new QToolButton(GroupBox1);
        named(b, name);
        b->setText(QString::fromLatin1(text));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        b->setGeometry(x, 16, 72, 17);
        return b;
    };
    SpeedButton1 = speedButton("SpeedButton1", "This month", 76);
    SpeedButton3 = speedButton("SpeedButton3", "This day", 148);
    ImageList1 = QIcon(fee::crossMark());
    SpeedButton2 = speedButton("SpeedButton2", "All days", 4);

    GroupBox2 = new QGroupBox(QStringLiteral("Sorted by:"), this);
    named(GroupBox2, "GroupBox2");
    GroupBox2->setGeometry(236, 224, 105, 37);
    Label5 = new QLabel(QStringLiteral("None"), GroupBox2);
    named(Label5, "Label5");
    Label5->setGeometry(8, 16, 92, 17);

    GroupBox3 = new QGroupBox(QStringLiteral("Direction:"), this);
    named(GroupBox3, "GroupBox3");
    GroupBox3->setGeometry(336, 224, 85, 37);
    Label6 = new QLabel(QStringLiteral("None"), GroupBox3);
    named(Label6, "Label6");
    Label6->setGeometry(8, 16, 46, 17);
    Image1 = new QLabel(GroupBox3);
    named(Image1, "Image1");
    Image1->setPixmap(fee::arrow(true));
    Image1->setGeometry(56, 12, 20, 18);
    Image1->hide();
    Image2 = new QLabel(GroupBox3);
    named(Image2, "Image2");
    Image2->setPixmap(fee::arrow(false));
    Image2->setGeometry(56, 12, 20, 18);
    Image2->hide();

    layOutFilterButtons();

    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::BitBtn2Click));
    platform::openHelpContextOnF1(this, fee::kHelpContext);
    connect(SpeedButton1, &QToolButton::clicked, this, platform::guarded(this, &ConnectionsDialog::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, platform::guarded(this, &ConnectionsDialog::SpeedButton2Click));
    connect(SpeedButton3, &QToolButton::clicked, this, platform::guarded(this, &ConnectionsDialog::SpeedButton3Click));
}

void ConnectionsDialog::layOutFilterButtons()
{
    // The design's 72 pixels hold a caption beside the mark only in the font it was
    // drawn for: each button is as wide as its caption beside the mark, whichever
    // button carries it, and the boxes to the right move along.
    constexpr int designButtonWidth = 72, designBoxWidth = 225, designBox2Left = 236, designBox3Left = 336;
    int x = SpeedButton2->x();
    for (QToolButton* button : {SpeedButton2, SpeedButton1, SpeedButton3}) {
        const QIcon mark = button->icon();
        button->setIcon(ImageList1);
        const int width = std::max(designButtonWidth, button->sizeHint().width());
        button->setIcon(mark);
        button->setGeometry(x, button->y(), width, button->height());
        x += width;
    }
    const int grow = std::max(0, x + SpeedButton2->x() - designBoxWidth);
    GroupBox1->resize(designBoxWidth + grow, GroupBox1->height());
    GroupBox2->move(designBox2Left + grow, GroupBox2->y());
    GroupBox3->move(designBox3Left + grow, GroupBox3->y());
}

void ConnectionsDialog::fitColumns()
{
    // The design's widths were drawn for a narrower font: a caption or a value that
    // does not fit them widens its column rather than being cut. A cell's room is its
    // column less the grid line's pixel.
    const int textMargins = platform::cellTextPadding(*Table) + (Table->showGrid() ? 1 : 0);
    for (int c = 0; c < fee::kColumnCount; ++c) {
        Table->setColumnWidth(c, fee::neededColumnWidth(fee::designColumnWidth(c),
                                                        Table->horizontalHeader()->sectionSizeHint(c),
                                                        m_rows->widestText(Table->font(), c), textMargins));
    }
}

QStringList ConnectionsDialog::rowOf(int row) const
{
    return m_rows->rowTexts(row);
}

void ConnectionsDialog::FormActivate()
{
    SpeedButton2Click();
}

void ConnectionsDialog::filterButton(QToolButton* clicked, fee::HistoryFilter filter)
{
    ClearConnectionTable(*this);
    for (QToolButton* button : {SpeedButton1, SpeedButton2, SpeedButton3})
        button->setIcon(button == clicked ? ImageList1 : QIcon());
    LoadHistory(*this, filter);
}

void ConnectionsDialog::SpeedButton2Click()
{
    filterButton(SpeedButton2, fee::AllDays);
}

void ConnectionsDialog::SpeedButton1Click()
{
    filterButton(SpeedButton1, fee::ThisMonth);
}

void ConnectionsDialog::SpeedButton3Click()
{
    filterButton(SpeedButton3, fee::ThisDay);
}

void ConnectionsDialog::TableColumnClick(int column)
{
    using namespace fee;
    ConnectionsSortDirection = ConnectionsSortDirection == 1 ? 0 : 1;
    const QString caption = m_rows->headerData(column, Qt::Horizontal).toString();
    int key = 0;
    if (sortKeyOfCaption(caption, &key))
        ConnectionsSortKey = key;
    if (ConnectionsSortKey != ConnectionsLastSortKey)
        ConnectionsSortDirection = 1;
    ConnectionsLastSortKey = ConnectionsSortKey;
    if (ConnectionsSortKey >= kFirstUnsortableKey)
        return;

    Table->clearSelection();
    m_rows->sortRows(ConnectionsLastSortKey, ConnectionsSortDirection == 1);

    Label5->setText(caption);
    const bool ascending = ConnectionsSortDirection == 1;
    Label6->setText(ascending ? QStringLiteral("Down") : QStringLiteral("Up"));
    Image1->setVisible(ascending);
    Image2->setVisible(!ascending);
}

int ConnectionsDialog::TableCompare(const QStringList& a, const QStringList& b) const
{
    const int r = fee::compareRows(a, b, fee::ConnectionsLastSortKey);
    return fee::ConnectionsSortDirection == 1 ? r : -r;
}

void ConnectionsDialog::FormConstrainedResize()
{
    setMinimumSize(fee::kMinimumOuterWidth - fee::kDesignFrameWidth,
                   fee::kMinimumOuterHeight - fee::kDesignFrameHeight);
}

void ConnectionsDialog::FormResize()
{
    for (QLabel* l : {Label1, Label2, Label3, Label4, Label7, Label8})
        l->adjustSize();
    fee::LabelWidths widths;
    widths.label1 = Label1->width();
    widths.label2 = Label2->width();
    widths.label7 = Label7->width();
    widths.label8 = Label8->width();
    widths.label3 = Label3->width();
    widths.label4 = Label4->width();
    const fee::Layout l = fee::layoutFor(width() + fee::kDesignFrameWidth,
                                         height() + fee::kDesignFrameHeight, widths);
    Table->setGeometry(l.table);
    Bevel1->setGeometry(l.bevel1);
    Bevel5->move(l.bevel5);
    Bevel3->move(l.bevel3);
    for (QGroupBox* box : {GroupBox1, GroupBox2, GroupBox3})
        box->move(box->x(), l.groupBoxTop);
    BitBtn1->move(l.okButton);
    BitBtn2->move(l.helpButton);
    Label1->move(l.label1);
    Label2->move(l.label2);
    Label7->move(l.label7);
    Label8->move(l.label8);
    Label3->move(l.label3);
    Label4->move(l.label4);
}

void ConnectionsDialog::BitBtn1Click()
{
    done(1);
}

void ConnectionsDialog::BitBtn2Click()
{
    platform::help().context(platform::Application::instance().helpFile(), fee::kHelpContext);
}

void ConnectionsDialog::FormClose()
{
    ClearConnectionTable(*this);
}

void ConnectionsDialog::done(int result)
{
    platform::guard([this] { FormClose(); });
    QDialog::done(result);
}

bool ConnectionsDialog::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !m_loadedSinceShow) {
        m_loadedSinceShow = true;
        platform::guard([this] { FormActivate(); });
    }
    return QDialog::event(e);
}

void ConnectionsDialog::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    platform::guard([this] { FormResize(); });
}

void ConnectionsDialog::showEvent(QShowEvent* e)
{
    m_loadedSinceShow = false;
    platform::centreOnScreen(*this);
    QDialog::showEvent(e);
}
