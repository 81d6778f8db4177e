#include "ConnectionsDialog.h"

#include "Application.h"
#include "CellText.h"
#include "Help.h"
#include "MainWindow.h"
#include "WindowPlacement.h"

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
#include <QStyle>
#include <QTableView>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kHelpContext = 13;

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

namespace connections {

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

}  // namespace connections

// =====================================================================================
// Loading
// =====================================================================================

void LoadHistory(ConnectionsDialog& dialog, connections::HistoryFilter filter)
{
    // Today once, before the file is read, so a load across midnight filters by one day.
    const QDate today = platform::clock().now().date();
    dialog.rows().load(dialog.mainWindow().ProgramPath, filter, today.day(), today.month());
    dialog.fitColumns();

    // A history that is missing or empty also shows the zero footer: totals left from
    // an earlier load must not stand beside an empty list.
    const connections::FooterTexts footer = connections::footerTexts(dialog.rows().view());
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

ConnectionsDialog::ConnectionsDialog(MainWindow& mainWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Form7"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Connections"));
    buildWindow();
    FormConstrainedResize();
    resize(connections::kMinimumOuterWidth - connections::kDesignFrameWidth,
           connections::kMinimumOuterHeight - connections::kDesignFrameHeight);
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

    m_rows = new connections::ConnectionsModel(this);
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
    ImageList1 = QIcon(crossMark());
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
    Image1->setPixmap(arrow(true));
    Image1->setGeometry(56, 12, 20, 18);
    Image1->hide();
    Image2 = new QLabel(GroupBox3);
    named(Image2, "Image2");
    Image2->setPixmap(arrow(false));
    Image2->setGeometry(56, 12, 20, 18);
    Image2->hide();

    layOutFilterButtons();

    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::BitBtn2Click));
    platform::openHelpContextOnF1(this, kHelpContext);
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
    for (int c = 0; c < connections::kColumnCount; ++c) {
        Table->setColumnWidth(c, connections::neededColumnWidth(connections::designColumnWidth(c),
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

void ConnectionsDialog::filterButton(QToolButton* clicked, connections::HistoryFilter filter)
{
    ClearConnectionTable(*this);
    for (QToolButton* button : {SpeedButton1, SpeedButton2, SpeedButton3})
        button->setIcon(button == clicked ? ImageList1 : QIcon());
    LoadHistory(*this, filter);
}

void ConnectionsDialog::SpeedButton2Click()
{
    filterButton(SpeedButton2, connections::AllDays);
}

void ConnectionsDialog::SpeedButton1Click()
{
    filterButton(SpeedButton1, connections::ThisMonth);
}

void ConnectionsDialog::SpeedButton3Click()
{
    filterButton(SpeedButton3, connections::ThisDay);
}

void ConnectionsDialog::TableColumnClick(int column)
{
    using namespace connections;
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
    const int r = connections::compareRows(a, b, connections::ConnectionsLastSortKey);
    return connections::ConnectionsSortDirection == 1 ? r : -r;
}

void ConnectionsDialog::FormConstrainedResize()
{
    setMinimumSize(connections::kMinimumOuterWidth - connections::kDesignFrameWidth,
                   connections::kMinimumOuterHeight - connections::kDesignFrameHeight);
}

void ConnectionsDialog::FormResize()
{
    for (QLabel* l : {Label1, Label2, Label3, Label4, Label7, Label8})
        l->adjustSize();
    connections::LabelWidths widths;
    widths.label1 = Label1->width();
    widths.label2 = Label2->width();
    widths.label7 = Label7->width();
    widths.label8 = Label8->width();
    widths.label3 = Label3->width();
    widths.label4 = Label4->width();
    const connections::Layout l = connections::layoutFor(width() + connections::kDesignFrameWidth,
                                         height() + connections::kDesignFrameHeight, widths);
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
    platform::help().context(platform::Application::instance().helpFile(), kHelpContext);
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
