#include "fee.h"

#include "Application.h"
#include "Help.h"
#include "counter.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>
#include <limits>

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
    return counter::feeText(cents);
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
    return counter::clockText(time);
}

QStringList rowTexts(const history::HistoryRecord& record, std::int64_t runningTotalCents)
{
    return {record.userName(),
            record.providerName(),
            FormatMoney(record.FeeCents),
            FormatDuration(record.DurationSeconds),
            FormatMoney(clampToField(runningTotalCents)),
            FormatDateOrTime(record.StartTime, true),
            FormatDateOrTime(record.StartTime, false),
            FormatDateOrTime(record.EndTime, true),
            FormatDateOrTime(record.EndTime, false)};
}

HistoryView filterHistory(const std::vector<history::HistoryRecord>& records, HistoryFilter filter,
                          int todayDay, int todayMonth)
{
    HistoryView view;
    for (const auto& record : records) {
        view.feeTotal += record.FeeCents;
        view.secondsTotal += record.DurationSeconds;
        view.rows.push_back(rowTexts(record, view.feeTotal));
        if (!passes(record.StartTime, filter, todayDay, todayMonth))
            view = HistoryView{};
    }
    return view;
}

FooterTexts zeroFooterTexts()
{
    return {QStringLiteral("0 dol. 0 c."), QStringLiteral("0 h. 0 m."), QStringLiteral("0 dol. 0 c.")};
}

FooterTexts footerTexts(const HistoryView& view)
{
    if (view.rows.empty())
        return zeroFooterTexts();
    const auto count = static_cast<std::int64_t>(view.rows.size());
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

void LoadHistory(TForm7& dialog, fee::HistoryFilter filter)
{
    // Today once, before the file is read, so a load across midnight filters by one day.
    const QDate today = platform::clock().now().date();
    const auto records = history::readAll(dialog.mainWindow().ProgramPath);
    const fee::HistoryView view = fee::filterHistory(records, filter, today.day(), today.month());

    QTableWidget& table = *dialog.Table;
    table.setUpdatesEnabled(false);
    table.setRowCount(static_cast<int>(view.rows.size()));
    for (int r = 0; r < table.rowCount(); ++r) {
        const QStringList& texts = view.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < fee::kColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts.value(c));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table.setItem(r, c, item);
        }
    }
    table.setUpdatesEnabled(true);

    // A history that is missing or empty also shows the zero footer: totals left from
    // an earlier load must not stand beside an empty list.
    const fee::FooterTexts footer = fee::footerTexts(view);
    dialog.Label2->setText(footer.totalFee);
    dialog.Label4->setText(footer.averageTime);
    dialog.Label8->setText(footer.averageCost);
    // Centred again for the new values: a value wider than the one the footer was laid
    // out for would otherwise run into the next field.
    dialog.FormResize();
}

void ClearConnectionTable(TForm7& dialog)
{
    dialog.Table->setUpdatesEnabled(false);
    dialog.Table->setRowCount(0);
    dialog.Table->setUpdatesEnabled(true);
}

// =====================================================================================
// The dialog
// =====================================================================================

TForm7::TForm7(TForm1& mainWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , m_mainWindow(mainWindow)
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

TForm7::~TForm7() = default;

void TForm7::buildWindow()
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

    Table = new QTableWidget(0, fee::kColumnCount, this);
    named(Table, "Table");
    Table->setGeometry(8, 4, 697, 181);
    Table->setShowGrid(true);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSortingEnabled(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    Table->horizontalHeader()->setSectionsClickable(true);
    Table->horizontalHeader()->setHighlightSections(false);
    Table->horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < fee::kColumnCount; ++c) {
        Table->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromLatin1(fee::kColumns[c].caption)));
        // The design's widths were drawn for a narrower font: a caption that does not
        // fit them widens its column rather than being cut.
        Table->setColumnWidth(c, std::max(fee::kColumns[c].width, Table->horizontalHeader()->sectionSizeHint(c)));
    }
    connect(Table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            platform::guarded(this, &TForm7::TableColumnClick));

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

    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &TForm7::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, platform::guarded(this, &TForm7::BitBtn2Click));
    platform::openHelpContextOnF1(this, fee::kHelpContext);
    connect(SpeedButton1, &QToolButton::clicked, this, platform::guarded(this, &TForm7::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, platform::guarded(this, &TForm7::SpeedButton2Click));
    connect(SpeedButton3, &QToolButton::clicked, this, platform::guarded(this, &TForm7::SpeedButton3Click));
}

QStringList TForm7::rowOf(int row) const
{
    QStringList texts;
    for (int c = 0; c < fee::kColumnCount; ++c) {
        const QTableWidgetItem* item = Table->item(row, c);
        texts << (item ? item->text() : QString());
    }
    return texts;
}

void TForm7::FormActivate()
{
    SpeedButton2Click();
}

void TForm7::filterButton(QToolButton* clicked, fee::HistoryFilter filter)
{
    ClearConnectionTable(*this);
    for (QToolButton* button : {SpeedButton1, SpeedButton2, SpeedButton3})
        button->setIcon(button == clicked ? ImageList1 : QIcon());
    LoadHistory(*this, filter);
}

void TForm7::SpeedButton2Click()
{
    filterButton(SpeedButton2, fee::AllDays);
}

void TForm7::SpeedButton1Click()
{
    filterButton(SpeedButton1, fee::ThisMonth);
}

void TForm7::SpeedButton3Click()
{
    filterButton(SpeedButton3, fee::ThisDay);
}

void TForm7::TableColumnClick(int column)
{
    using namespace fee;
    ConnectionsSortDirection = ConnectionsSortDirection == 1 ? 0 : 1;
    const QTableWidgetItem* header = Table->horizontalHeaderItem(column);
    const QString caption = header ? header->text() : QString();
    int key = 0;
    if (sortKeyOfCaption(caption, &key))
        ConnectionsSortKey = key;
    if (ConnectionsSortKey != ConnectionsLastSortKey)
        ConnectionsSortDirection = 1;
    ConnectionsLastSortKey = ConnectionsSortKey;
    if (ConnectionsSortKey >= kFirstUnsortableKey)
        return;

    std::vector<QStringList> rows;
    rows.reserve(static_cast<std::size_t>(Table->rowCount()));
    for (int r = 0; r < Table->rowCount(); ++r)
        rows.push_back(rowOf(r));
    std::stable_sort(rows.begin(), rows.end(),
                     [this](const QStringList& a, const QStringList& b) { return TableCompare(a, b) < 0; });
    Table->setUpdatesEnabled(false);
    Table->clearSelection();
    for (int r = 0; r < Table->rowCount(); ++r) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (QTableWidgetItem* item = Table->item(r, c))
                item->setText(rows[static_cast<std::size_t>(r)].value(c));
        }
    }
    Table->setUpdatesEnabled(true);

    Label5->setText(caption);
    const bool ascending = ConnectionsSortDirection == 1;
    Label6->setText(ascending ? QStringLiteral("Down") : QStringLiteral("Up"));
    Image1->setVisible(ascending);
    Image2->setVisible(!ascending);
}

int TForm7::TableCompare(const QStringList& a, const QStringList& b) const
{
    const int r = fee::compareRows(a, b, fee::ConnectionsLastSortKey);
    return fee::ConnectionsSortDirection == 1 ? r : -r;
}

void TForm7::FormConstrainedResize()
{
    setMinimumSize(fee::kMinimumOuterWidth - fee::kDesignFrameWidth,
                   fee::kMinimumOuterHeight - fee::kDesignFrameHeight);
}

void TForm7::FormResize()
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

void TForm7::BitBtn1Click()
{
    done(1);
}

void TForm7::BitBtn2Click()
{
    platform::help().context(platform::Application::instance().helpFile(), fee::kHelpContext);
}

void TForm7::FormClose()
{
    ClearConnectionTable(*this);
}

void TForm7::done(int result)
{
    platform::guard([this] { FormClose(); });
    QDialog::done(result);
}

bool TForm7::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !m_loadedSinceShow) {
        m_loadedSinceShow = true;
        platform::guard([this] { FormActivate(); });
    }
    return QDialog::event(e);
}

void TForm7::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    platform::guard([this] { FormResize(); });
}

void TForm7::showEvent(QShowEvent* e)
{
    m_loadedSinceShow = false;
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    QDialog::showEvent(e);
}
