#include "dialtally/gui/StatisticsDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/CellText.h"
#include "platform/gui/Help.h"
#include "platform/core/Settings.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "platform/gui/WindowPlacement.h"

#include <QFontMetricsF>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kHelpContext = 17;
constexpr int kDesignColumnWidths[] = {104, 75, 76, 77};
// The characters of a user name that the design's 104 pixels held at its font's
// 5-pixel average character, less the cell's margins; a longer name is cut short
// and its tooltip holds it whole.
constexpr int kDesignUserNameLength = 19;
constexpr int kDesignListWidth = 333;

enum ItemRole {
    kNameRole = Qt::UserRole,
    kConnectionsRole,
    kSecondsRole,
    kCentsRole,
};

std::int32_t readCrashCount(settings::Settings& settings)
{
    // Not created: a missing key is an installation fault the user must hear of, and
    // with no key open the read raises the store's own error for "Crash".
    return settings.get(settings::Crash, settings::Opening::ExistingKey);
}

// The grid lines of a report-style list, drawn over each cell's right and bottom edge.
// Drawn rather than given by a style sheet: a sheet's item border takes its pixel
// from the text, and these columns have none to spare.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

statistics::UserRow rowOf(const QTreeWidgetItem& item)
{
    statistics::UserRow row;
    row.name = item.data(0, kNameRole).toByteArray();
    row.connections = item.data(0, kConnectionsRole).toLongLong();
    row.seconds = item.data(0, kSecondsRole).toLongLong();
    row.cents = item.data(0, kCentsRole).toLongLong();
    return row;
}

}  // namespace

ColumnSort StatisticsDialog::s_userSort;

StatisticsDialog::StatisticsDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("statisticsDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Statistics"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(365, 217);

    crashesGroup = new QGroupBox(QStringLiteral("Crashes:"), this);
    crashesGroup->setObjectName(QStringLiteral("crashesGroup"));
    crashesGroup->setGeometry(8, 4, 349, 41);
    // Laid out in a row rather than at the design's points: the texts are wider here.
    auto* crashes = new QHBoxLayout(crashesGroup);
    crashes->setContentsMargins(8, 2, 8, 2);
    crashes->setSpacing(4);
    crashCountCaption = new QLabel(QStringLiteral("Total crashes:"), crashesGroup);
    crashCountCaption->setObjectName(QStringLiteral("crashCountCaption"));
    crashCountLabel = new QLabel(QStringLiteral("0"), crashesGroup);
    crashCountLabel->setObjectName(QStringLiteral("crashCountLabel"));
    crashCountLabel->setMinimumWidth(24);
    crashRateCaption = new QLabel(QStringLiteral("Crashes per 1 con. hour :"), crashesGroup);
    crashRateCaption->setObjectName(QStringLiteral("crashRateCaption"));
    crashRateLabel = new QLabel(QStringLiteral("0"), crashesGroup);
    crashRateLabel->setObjectName(QStringLiteral("crashRateLabel"));
    crashRateLabel->setMinimumWidth(30);
    crashes->addWidget(crashCountCaption);
    crashes->addWidget(crashCountLabel);
    crashes->addStretch();
    crashes->addWidget(crashRateCaption);
    crashes->addWidget(crashRateLabel);

    usersGroup = new QGroupBox(QStringLiteral("Users:"), this);
    usersGroup->setObjectName(QStringLiteral("usersGroup"));
    usersGroup->setGeometry(8, 48, 349, 121);
    userList = new QTreeWidget(usersGroup);
    userList->setObjectName(QStringLiteral("userList"));
    // Below the frame's title, which takes more room here than the design allowed.
    userList->setGeometry(8, 18, 333, 95);
    userList->setColumnCount(4);
    userList->setHeaderLabels({QStringLiteral("User name"), QStringLiteral("Connections"), QStringLiteral("Total time"),
                               QStringLiteral("Total fee")});
    userList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    userList->setRootIsDecorated(false);
    userList->setItemsExpandable(false);
    userList->setUniformRowHeights(true);
    userList->setSelectionBehavior(QAbstractItemView::SelectRows);
    userList->setSelectionMode(QAbstractItemView::SingleSelection);
    userList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    userList->setFrameShape(QFrame::Box);
    userList->setItemDelegate(new GridLineDelegate(userList));
    userList->header()->setSectionsClickable(true);
    userList->header()->setSectionsMovable(false);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(106, 184, 73, 25);
    okButton->setDefault(true);
    helpButton = new QPushButton(QStringLiteral("&Help"), this);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    helpButton->setGeometry(186, 184, 73, 25);

    fitColumns();
    fitWindowToColumns();

    connect(okButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &StatisticsDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
    connect(userList->header(), &QHeaderView::sectionClicked, this,
            platform::guarded(this, &StatisticsDialog::userColumnClicked));
    connect(this, &QDialog::finished, this, [this] { platform::guard([this] { FormClose(); }); });
}

StatisticsDialog::~StatisticsDialog() = default;

void StatisticsDialog::FormActivate()
{
    // Each fill starts from an empty list, so coming back to the dialog never counts
    // a record twice.
    userList->clear();

    const std::int32_t crashes = readCrashCount(m_settings);
    crashCountLabel->setText(QString::number(crashes));

    const auto rows = statistics::userRows(m_session.programPath());
    if (!rows.empty()) {
        userList->setUpdatesEnabled(false);
        for (const auto& row : rows) {
            auto* item = new QTreeWidgetItem(userList);
            item->setText(0, QString::fromUtf8(row.name));
            item->setToolTip(0, item->text(0));
            item->setText(1, QString::number(row.connections));
            item->setText(2, connections::FormatDuration(row.seconds));
            item->setText(3, statistics::moneyText(row.cents));
            item->setData(0, kNameRole, row.name);
            item->setData(0, kConnectionsRole, QVariant::fromValue<qlonglong>(row.connections));
            item->setData(0, kSecondsRole, QVariant::fromValue<qlonglong>(row.seconds));
            item->setData(0, kCentsRole, QVariant::fromValue<qlonglong>(row.cents));
        }
        fitColumns();
        userList->setUpdatesEnabled(true);
    }

    crashRateLabel->setText(statistics::crashRateText(crashes, m_session.counterPeriod().seconds()));
}

void StatisticsDialog::fitColumns()
{
    // The design's widths were drawn for a narrower font. Each column holds its
    // caption and the values the dialog is laid out for (a period of 999 hours and
    // five digits of dollars); a sum beyond them widens its column, and the list
    // scrolls sideways, rather than being cut. The user name keeps the room of its
    // design length.
    const int padding = platform::cellTextPadding(*userList);
    const QFontMetricsF metrics(userList->font());
    const auto whole = [](qreal width) { return static_cast<int>(std::ceil(width)); };
    const QString samples[] = {QString(), QStringLiteral("9999999"), QStringLiteral("999:59:59"),
                               statistics::moneyText(9999999)};
    for (int c = 0; c < userList->columnCount(); ++c) {
        int widest = c == 0 ? userList->fontMetrics().averageCharWidth() * kDesignUserNameLength
                            : whole(metrics.horizontalAdvance(samples[c]));
        for (int i = 0; c > 0 && i < userList->topLevelItemCount(); ++i)
            widest = std::max(widest, whole(metrics.horizontalAdvance(userList->topLevelItem(i)->text(c))));
        userList->setColumnWidth(
            c, std::max({kDesignColumnWidths[c], userList->header()->sectionSizeHint(c), widest + padding}));
    }
}

void StatisticsDialog::fitWindowToColumns()
{
    // The fixed dialog is as much wider than its design as its columns and the
    // vertical scroll bar that many users bring need; the buttons stay centred.
    int columns = 0;
    for (int c = 0; c < userList->columnCount(); ++c)
        columns += userList->columnWidth(c);
    const int list = columns + 2 * userList->frameWidth()
                     + userList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, userList);
    const int grow = std::max(0, list - kDesignListWidth);
    setFixedSize(365 + grow, 217);
    crashesGroup->resize(349 + grow, crashesGroup->height());
    usersGroup->resize(349 + grow, usersGroup->height());
    userList->resize(kDesignListWidth + grow, userList->height());
    okButton->move(106 + grow / 2, okButton->y());
    helpButton->move(186 + grow / 2, helpButton->y());
}

void StatisticsDialog::userColumnClicked(int column)
{
    statistics::applyColumnClick(s_userSort, userList->headerItem()->text(column));

    std::vector<QTreeWidgetItem*> items;
    while (userList->topLevelItemCount() > 0)
        items.push_back(userList->takeTopLevelItem(0));
    std::stable_sort(items.begin(), items.end(),
                     [this](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return compareUsers(*a, *b) < 0; });
    for (QTreeWidgetItem* item : items)
        userList->addTopLevelItem(item);
}

int StatisticsDialog::compareUsers(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const
{
    return statistics::compareRows(rowOf(a), rowOf(b), s_userSort);
}

void StatisticsDialog::forgetSortOrder()
{
    s_userSort = {};
}

void StatisticsDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}

void StatisticsDialog::FormClose()
{
    userList->clear();
}

std::vector<QStringList> StatisticsDialog::rowTexts() const
{
    std::vector<QStringList> rows;
    for (int i = 0; i < userList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = userList->topLevelItem(i);
        rows.push_back({item->text(0), item->text(1), item->text(2), item->text(3)});
    }
    return rows;
}

void StatisticsDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    platform::centreOnScreen(*this);
    // Filled once per showing: a fill on every activation would come back after each
    // error box it shows and never let the user out.
    platform::guard([this] { FormActivate(); });
}
