#include "dialtally/gui/ConnectionsDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/CellText.h"
#include "platform/gui/Help.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/Formats.h"
#include "platform/gui/WindowPlacement.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <cmath>

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
    // Drawn pointing down; the up arrow is its mirror image across the middle.
    const QPointF shape[] = {{7, 1}, {13, 1}, {13, 9}, {18, 9}, {10, 17}, {2, 9}, {7, 9}};
    QPolygonF outline;
    for (const QPointF& point : shape)
        outline << (down ? point : QPointF(point.x(), 18 - point.y()));
    QPainterPath path;
    path.addPolygon(outline);
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
    constexpr int listLeft = 8, listTop = 4, footerLeft = 8, footerHeight = 31;
    l.connectionList = QRect(listLeft, listTop, W - 24, H - 115);
    l.footer = QRect(footerLeft, H - 108, W - 24, footerHeight);
    const int a = static_cast<int>(l.footer.width() * 0.38);
    l.feeCostDivider = QPoint(l.footer.width() - 2 * a, H - 104);
    l.costTimeDivider = QPoint(l.footer.width() - a, H - 104);
    l.boxTop = H - 72;
    l.okButton = QPoint(W - 177, H - 60);
    l.helpButton = QPoint(W - 97, H - 60);
    const int top = H - 100;
    const int footerStart = l.footer.left();
    const int feeCostAt = l.feeCostDivider.x();
    const int costTimeAt = l.costTimeDivider.x();
    // Each field is its caption, a gap of 10 and its value, centred between its bevels.
    // The caption is measured rather than taken at the width it had in the design's
    // font, which is narrower than any font here: a fixed width would push the field
    // over its right bevel.
    constexpr int gap = 10;
    // The left edge of a field of `caption` and `value` centred between `from` and `to`.
    const auto centred = [gap](int from, int to, int caption, int value) {
        return from + (to - from - (value + caption + gap)) / 2;
    };
    const int footerEnd = footerStart + l.footer.width();
    l.totalFeeCaption = QPoint(centred(footerStart, feeCostAt, widths.totalFeeCaption, widths.totalFee), top);
    l.totalFee = QPoint(l.totalFeeCaption.x() + widths.totalFeeCaption + gap, top);
    l.averageCostCaption = QPoint(centred(feeCostAt, costTimeAt, widths.averageCostCaption, widths.averageCost), top);
    l.averageCost = QPoint(l.averageCostCaption.x() + widths.averageCostCaption + gap, top);
    l.averageTimeCaption = QPoint(centred(costTimeAt, footerEnd, widths.averageTimeCaption, widths.averageTime), top);
    l.averageTime = QPoint(l.averageTimeCaption.x() + widths.averageTimeCaption + gap, top);
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
    dialog.rows().load(dialog.session().programPath(), filter, today.day(), today.month());
    dialog.fitColumns();

    // A history that is missing or empty also shows the zero footer: totals left from
    // an earlier load must not stand beside an empty list.
    const connections::FooterTexts footer = connections::footerTexts(dialog.rows().view());
    dialog.showFooter(footer);
}

void ConnectionsDialog::showFooter(const connections::FooterTexts& footer)
{
    totalFeeLabel->setText(footer.totalFee);
    averageTimeLabel->setText(footer.averageTime);
    averageCostLabel->setText(footer.averageCost);
    // Centred again for the new values: a value wider than the one the footer was laid
    // out for would otherwise run into the next field.
    FormResize();
}

void ClearConnectionTable(ConnectionsDialog& dialog)
{
    dialog.rows().clear();
}

// =====================================================================================
// The dialog
// =====================================================================================

ColumnSort ConnectionsDialog::s_sort;

ConnectionsDialog::ConnectionsDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                          | Qt::WindowCloseButtonHint)
    , m_session(session)
{
    setObjectName(QStringLiteral("connectionsDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Connections"));
    buildWindow();
    FormConstrainedResize();
    resize(openingWidth(), connections::kMinimumOuterHeight - connections::kDesignFrameHeight);
    FormResize();
}

ConnectionsDialog::~ConnectionsDialog() = default;

void ConnectionsDialog::buildWindow()
{
    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    okButton = new QPushButton(QStringLiteral("OK"), this);
    named(okButton, "okButton");
    okButton->setDefault(true);
    okButton->setGeometry(544, 236, 73, 25);

    footerBevel = new QFrame(this);
    named(footerBevel, "footerBevel");
    footerBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    footerBevel->setGeometry(8, 188, 697, 31);

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
    totalFeeCaption = label("totalFeeCaption", "Total fee:");
    totalFeeLabel = label("totalFeeLabel", "0 dol. 0 c.");
    averageTimeCaption = label("averageTimeCaption", "Average time per connention:");
    averageTimeLabel = label("averageTimeLabel", "0 h. 0 m.");

    // A bevel of the left-line shape: a sunken line down its left edge.
    const auto leftLine = [this, &named](const char* name, int x, int y, int w, int h) {
        auto* f = new QFrame(this);
        named(f, name);
        f->setFrameShape(QFrame::NoFrame);
        f->setStyleSheet(QStringLiteral("QFrame { border: none; border-left: 2px groove palette(mid); }"));
        f->setGeometry(x, y, w, h);
        return f;
    };
    fixedLine = leftLine("fixedLine", 120, 215, 0, 21);
    costTimeDivider = leftLine("costTimeDivider", 432, 192, 9, 21);
    feeCostDivider = leftLine("feeCostDivider", 167, 192, 9, 21);

    averageCostCaption = label("averageCostCaption", "Average cost per connection:");
    averageCostLabel = label("averageCostLabel", "0 dol. 0 c.");

    m_rows = new connections::ConnectionsModel(this);
    connectionList = new QTableView(this);
    named(connectionList, "connectionList");
    connectionList->setModel(m_rows);
    connectionList->setGeometry(8, 4, 697, 181);
    connectionList->setShowGrid(true);
    connectionList->setSelectionBehavior(QAbstractItemView::SelectRows);
    connectionList->setSelectionMode(QAbstractItemView::SingleSelection);
    connectionList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connectionList->setSortingEnabled(false);
    connectionList->verticalHeader()->hide();
    connectionList->verticalHeader()->setDefaultSectionSize(connectionList->fontMetrics().height() + 4);
    // Every row the same height, never measured: a long history has too many rows to
    // look at each.
    connectionList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connectionList->horizontalHeader()->setSectionsClickable(true);
    connectionList->horizontalHeader()->setHighlightSections(false);
    connectionList->horizontalHeader()->setStretchLastSection(false);
    fitColumns();
    connect(connectionList->horizontalHeader(), &QHeaderView::sectionClicked, this,
            platform::guarded(this, &ConnectionsDialog::columnClicked));

    helpButton = new QPushButton(QStringLiteral("&Help"), this);
    named(helpButton, "helpButton");
    helpButton->setGeometry(624, 236, 73, 25);

    filterBox = new QGroupBox(QStringLiteral("Show connections by"), this);
    named(filterBox, "filterBox");
    filterBox->setGeometry(8, 224, 225, 37);
    const auto filterChoice = [this, &named](const char* name, const char* text, int x) {
        auto* b = new QToolButton(filterBox);
        named(b, name);
        b->setText(QString::fromLatin1(text));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        b->setGeometry(x, 16, 72, 17);
        return b;
    };
    thisMonthButton = filterChoice("thisMonthButton", "This month", 76);
    thisDayButton = filterChoice("thisDayButton", "This day", 148);
    activeFilterMark = QIcon(crossMark());
    allDaysButton = filterChoice("allDaysButton", "All days", 4);

    sortBox = new QGroupBox(QStringLiteral("Sorted by:"), this);
    named(sortBox, "sortBox");
    sortBox->setGeometry(236, 224, 105, 37);
    sortColumnLabel = new QLabel(QStringLiteral("None"), sortBox);
    named(sortColumnLabel, "sortColumnLabel");
    sortColumnLabel->setGeometry(8, 16, 92, 17);

    directionBox = new QGroupBox(QStringLiteral("Direction:"), this);
    named(directionBox, "directionBox");
    directionBox->setGeometry(336, 224, 85, 37);
    directionLabel = new QLabel(QStringLiteral("None"), directionBox);
    named(directionLabel, "directionLabel");
    directionLabel->setGeometry(8, 16, 46, 17);
    ascendingArrow = new QLabel(directionBox);
    named(ascendingArrow, "ascendingArrow");
    ascendingArrow->setPixmap(arrow(true));
    ascendingArrow->setGeometry(56, 12, 20, 18);
    ascendingArrow->hide();
    descendingArrow = new QLabel(directionBox);
    named(descendingArrow, "descendingArrow");
    descendingArrow->setPixmap(arrow(false));
    descendingArrow->setGeometry(56, 12, 20, 18);
    descendingArrow->hide();

    layOutFilterButtons();

    connect(okButton, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::okClicked));
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &ConnectionsDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
    connect(thisMonthButton, &QToolButton::clicked, this,
            platform::guarded(this, &ConnectionsDialog::thisMonthClicked));
    connect(allDaysButton, &QToolButton::clicked, this, platform::guarded(this, &ConnectionsDialog::allDaysClicked));
    connect(thisDayButton, &QToolButton::clicked, this, platform::guarded(this, &ConnectionsDialog::thisDayClicked));
}

void ConnectionsDialog::layOutFilterButtons()
{
    // The design's 72 pixels hold a caption beside the mark only in the font it was
    // drawn for: each button is as wide as its caption beside the mark, whichever
    // button carries it, and the boxes to the right move along.
    constexpr int designButtonWidth = 72, designBoxWidth = 225, designSortBoxLeft = 236;
    int x = allDaysButton->x();
    for (QToolButton* button : {allDaysButton, thisMonthButton, thisDayButton}) {
        const QIcon mark = button->icon();
        button->setIcon(activeFilterMark);
        const int width = std::max(designButtonWidth, button->sizeHint().width());
        button->setIcon(mark);
        button->setGeometry(x, button->y(), width, button->height());
        x += width;
    }
    const int grow = std::max(0, x + allDaysButton->x() - designBoxWidth);
    filterBox->resize(designBoxWidth + grow, filterBox->height());

    // "Sorted by:" holds the longest caption it can name, and "Direction:" stands beside
    // it rather than over its end, as the design's boxes did by five pixels.
    constexpr int designBoxGap = designSortBoxLeft - designBoxWidth - 8;
    constexpr int designSortBoxWidth = 105, designDirectionBoxWidth = 85;
    const int labelLeft = sortColumnLabel->x();
    int widestSortCaption = sortColumnLabel->fontMetrics().horizontalAdvance(QStringLiteral("None"));
    for (int c = 0; c < connections::kColumnCount; ++c) {
        int key = 0;
        const QString caption = m_rows->headerData(c, Qt::Horizontal).toString();
        if (connections::sortKeyOfCaption(caption, &key) && key < connections::kFirstUnsortableKey)
            widestSortCaption = std::max(widestSortCaption, sortColumnLabel->fontMetrics().horizontalAdvance(caption));
    }
    sortColumnLabel->resize(widestSortCaption + 1, sortColumnLabel->height());
    sortBox->setGeometry(filterBox->x() + filterBox->width() + designBoxGap, sortBox->y(),
                         std::max(designSortBoxWidth, labelLeft + sortColumnLabel->width() + labelLeft),
                         sortBox->height());

    const QFontMetrics direction = directionLabel->fontMetrics();
    int widestDirection = 0;
    for (const char* text : {"None", "Down", "Up"})
        widestDirection = std::max(widestDirection, direction.horizontalAdvance(QString::fromLatin1(text)));
    directionLabel->resize(std::max(directionLabel->width(), widestDirection + 1), directionLabel->height());
    const int arrowLeft = std::max(ascendingArrow->x(), directionLabel->x() + directionLabel->width() + 2);
    ascendingArrow->move(arrowLeft, ascendingArrow->y());
    descendingArrow->move(arrowLeft, descendingArrow->y());
    const int arrowMargin = designDirectionBoxWidth - (56 + 20);
    directionBox->setGeometry(sortBox->x() + sortBox->width() + designBoxGap, directionBox->y(),
                              std::max(designDirectionBoxWidth, arrowLeft + ascendingArrow->width() + arrowMargin),
                              directionBox->height());
}

void ConnectionsDialog::fitColumns()
{
    // The design's widths were drawn for a narrower font. A column of the program's
    // own texts is as wide as the values it was laid out for, and wider still for a
    // value beyond them, so no fee, time or date is ever cut. A name column keeps the
    // room of its design length: a longer name is cut short, its tooltip holds it
    // whole, and the other columns stay in view. A cell's room is its column less the
    // grid line's pixel.
    const QFontMetricsF metrics(connectionList->font());
    const connections::TextAdvance advance = [&metrics](const QString& text) {
        return metrics.horizontalAdvance(text);
    };
    const int textMargins = platform::cellTextPadding(*connectionList) + (connectionList->showGrid() ? 1 : 0);
    const int averageCharacter = connectionList->fontMetrics().averageCharWidth();
    const std::array<int, connections::kColumnCount> widestValues = m_rows->widestValueTexts(advance);
    for (int c = 0; c < connections::kColumnCount; ++c) {
        const int widest =
            connections::holdsName(c)
                ? averageCharacter * connections::designNameLength(c)
                : std::max(connections::widestDigitsWidth(advance, connections::designValueSample(c)), widestValues[c]);
        connectionList->setColumnWidth(
            c, connections::neededColumnWidth(connections::designColumnWidth(c),
                                              connectionList->horizontalHeader()->sectionSizeHint(c), widest,
                                              textMargins));
    }
}

int ConnectionsDialog::openingWidth() const
{
    // The list shows every column beside the vertical scroll bar that a few rows
    // bring; the window is as wide as that needs, the design's width at least, and
    // no wider than the screen.
    int columns = 0;
    for (int c = 0; c < connections::kColumnCount; ++c)
        columns += connectionList->columnWidth(c);
    const int list = columns + 2 * connectionList->frameWidth()
                     + connectionList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, connectionList);
    constexpr int designListWidth = 697;
    const int listMargins = connections::kMinimumOuterWidth - connections::kDesignFrameWidth - designListWidth;
    int width = std::max(minimumWidth(), list + listMargins);
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        width = std::max(minimumWidth(),
                         std::min(width, screen->availableGeometry().width() - connections::kDesignFrameWidth));
    return width;
}

QStringList ConnectionsDialog::rowOf(int row) const
{
    return m_rows->rowTexts(row);
}

void ConnectionsDialog::FormActivate()
{
    allDaysClicked();
}

void ConnectionsDialog::filterButton(QToolButton* clicked, connections::HistoryFilter filter)
{
    ClearConnectionTable(*this);
    for (QToolButton* button : {thisMonthButton, allDaysButton, thisDayButton})
        button->setIcon(button == clicked ? activeFilterMark : QIcon());
    LoadHistory(*this, filter);
}

void ConnectionsDialog::allDaysClicked()
{
    filterButton(allDaysButton, connections::AllDays);
}

void ConnectionsDialog::thisMonthClicked()
{
    filterButton(thisMonthButton, connections::ThisMonth);
}

void ConnectionsDialog::thisDayClicked()
{
    filterButton(thisDayButton, connections::ThisDay);
}

void ConnectionsDialog::columnClicked(int column)
{
    const QString caption = m_rows->headerData(column, Qt::Horizontal).toString();
    // A caption of no column leaves the key as it was.
    int key = s_sort.key;
    connections::sortKeyOfCaption(caption, &key);
    // An unsortable column is clicked all the same: the next click on a sortable one
    // counts as another column's and starts ascending.
    s_sort.click(key);
    if (s_sort.key >= connections::kFirstUnsortableKey)
        return;

    connectionList->clearSelection();
    m_rows->sortRows(s_sort.key, s_sort.ascending());

    sortColumnLabel->setText(caption);
    const bool ascending = s_sort.ascending();
    directionLabel->setText(ascending ? QStringLiteral("Down") : QStringLiteral("Up"));
    ascendingArrow->setVisible(ascending);
    descendingArrow->setVisible(!ascending);
}

int ConnectionsDialog::compareBySortState(const QStringList& a, const QStringList& b) const
{
    const int r = connections::compareRows(a, b, s_sort.key);
    return s_sort.ascending() ? r : -r;
}

void ConnectionsDialog::forgetSortOrder()
{
    s_sort = {};
}

void ConnectionsDialog::FormConstrainedResize()
{
    setMinimumSize(connections::kMinimumOuterWidth - connections::kDesignFrameWidth,
                   connections::kMinimumOuterHeight - connections::kDesignFrameHeight);
}

void ConnectionsDialog::FormResize()
{
    for (QLabel* l :
         {totalFeeCaption, totalFeeLabel, averageTimeCaption, averageTimeLabel, averageCostCaption, averageCostLabel})
        l->adjustSize();
    connections::LabelWidths widths;
    widths.totalFeeCaption = totalFeeCaption->width();
    widths.totalFee = totalFeeLabel->width();
    widths.averageCostCaption = averageCostCaption->width();
    widths.averageCost = averageCostLabel->width();
    widths.averageTimeCaption = averageTimeCaption->width();
    widths.averageTime = averageTimeLabel->width();
    const connections::Layout l = connections::layoutFor(width() + connections::kDesignFrameWidth,
                                                         height() + connections::kDesignFrameHeight, widths);
    connectionList->setGeometry(l.connectionList);
    footerBevel->setGeometry(l.footer);
    feeCostDivider->move(l.feeCostDivider);
    costTimeDivider->move(l.costTimeDivider);
    for (QGroupBox* box : {filterBox, sortBox, directionBox})
        box->move(box->x(), l.boxTop);
    okButton->move(l.okButton);
    helpButton->move(l.helpButton);
    totalFeeCaption->move(l.totalFeeCaption);
    totalFeeLabel->move(l.totalFee);
    averageCostCaption->move(l.averageCostCaption);
    averageCostLabel->move(l.averageCost);
    averageTimeCaption->move(l.averageTimeCaption);
    averageTimeLabel->move(l.averageTime);
}

void ConnectionsDialog::okClicked()
{
    done(1);
}

void ConnectionsDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
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
