#include "dialtally/gui/ProvidersDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/DialUpLine.h"
#include "platform/core/Settings.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/core/MonitoringSession.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using platform::MessageIcon;
using tariffoptions::TariffProfile;

namespace {

constexpr int kHelpButtonContext = 15;
constexpr int kFormHelpContext = 12;
constexpr const char* kDragFormat = "application/x-dialtally-tariff";

QTreeWidget* reportList(QWidget* parent, const char* objectName, const QStringList& columns, const char* hint)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setColumnCount(static_cast<int>(columns.size()));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setDragDropMode(QAbstractItemView::NoDragDrop);
    list->viewport()->setAcceptDrops(true);
    list->setToolTip(QString::fromLatin1(hint));
    // The grid lines. A style sheet for the items takes over their selected look as
    // well, so that is given here too, or a selected row would show its text white on
    // white; the same look whether the list has the focus or not, so the selection
    // stays visible.
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); }"
                                       "QTreeView::item:selected { background: palette(highlight);"
                                       " color: palette(highlighted-text); }"));
    return list;
}

}  // namespace

namespace tariff {

QString dayName(int row)
{
    static const char* const names[tariffoptions::kDaySlots] = {
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Holiday",
    };
    if (row < 0 || row >= tariffoptions::kDaySlots)
        return {};
    return QString::fromLatin1(names[row]);
}

}  // namespace tariff

// =====================================================================================
// The dialog
// =====================================================================================

ProvidersDialog::ProvidersDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("providersDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Providers"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(361, 297);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* group = new QGroupBox(QStringLiteral("Choose a provider:"), this);
    group->setObjectName(QStringLiteral("providerBox"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(6, 4, 6, 6);
    providerList = new QListWidget(group);
    providerList->setObjectName(QStringLiteral("providerList"));
    providerList->setSelectionMode(QAbstractItemView::SingleSelection);
    groupLayout->addWidget(providerList);
    group->setFixedHeight(86);
    layout->addWidget(group);

    auto* lists = new QHBoxLayout;
    profileList = reportList(this, "profileList", {QStringLiteral("Tariffs")}, "Drag tariffs to -->");
    dayList = reportList(this, "dayList", {QStringLiteral("Tariff's name"), QStringLiteral("Week days")},
                         "To delete tariff drag it back <--");
    profileList->setFixedWidth(130);
    dayList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    dayList->header()->setStretchLastSection(false);
    dayList->header()->resizeSection(1, 80);
    lists->addWidget(profileList);
    lists->addWidget(dayList, 1);
    layout->addLayout(lists, 1);

    layout->addWidget(platform::okCancelHelpRow(this, okButton, cancelButton, helpButton));

    ResetDaysList();

    profileList->viewport()->installEventFilter(this);
    dayList->viewport()->installEventFilter(this);

    using platform::guarded;
    connect(providerList, &QListWidget::currentRowChanged, this, guarded(this, &ProvidersDialog::providerSelected));
    connect(okButton, &QPushButton::clicked, this, guarded(this, &ProvidersDialog::okClicked));
    connect(cancelButton, &QPushButton::clicked, this, guarded(this, &ProvidersDialog::cancelClicked));
    connect(helpButton, &QPushButton::clicked, this, guarded(this, &ProvidersDialog::helpClicked));
    platform::openHelpContextOnF1(this, kFormHelpContext);
}

void ProvidersDialog::showEvent(QShowEvent* e)
{
    centreOnScreen(*this);
    QDialog::showEvent(e);
    // Once per opening: the dialog comes back to the front after each of its own
    // message boxes, and a reload then would throw the user's assignments away.
    if (!m_activated) {
        m_activated = true;
        platform::guard([this] { FormActivate(); });
    }
}

void ProvidersDialog::done(int result)
{
    platform::guard([this] { FormClose(); });
    m_activated = false;
    QDialog::done(result);
}

// ---- the lists ---------------------------------------------------------------------------------

void ProvidersDialog::ResetDaysList()
{
    // The rows go away, and a row being dragged with them.
    if (DragSource == tariff::FromDays)
        endDrag();
    dayList->setUpdatesEnabled(false);
    dayList->clear();
    for (int d = 0; d < tariffoptions::kDaySlots; ++d) {
        auto* row = new QTreeWidgetItem(dayList);
        row->setText(0, QString());
        row->setText(1, tariff::dayName(d));
    }
    dayList->setUpdatesEnabled(true);
}

void ProvidersDialog::ShowProviderDays(int index)
{
    ResetDaysList();
    if (index < 0 || index >= static_cast<int>(ProviderDays.size()))
        return;
    const tariff::ProviderRecord& record = ProviderDays[static_cast<std::size_t>(index)];
    for (int d = 0; d < tariffoptions::kDaySlots; ++d) {
        if (!record.DayTariffs[static_cast<std::size_t>(d)].isEmpty())
            dayList->topLevelItem(d)->setText(0, record.DayTariffs[static_cast<std::size_t>(d)]);
    }
}

void ProvidersDialog::StoreProviderDays(int index)
{
    if (index < 0 || index >= static_cast<int>(ProviderDays.size()))
        return;
    tariff::ProviderRecord& record = ProviderDays[static_cast<std::size_t>(index)];
    for (int d = 0; d < tariffoptions::kDaySlots; ++d)
        record.DayTariffs[static_cast<std::size_t>(d)] = dayList->topLevelItem(d)->text(0);
    record.Edited = 1;
}

void ProvidersDialog::LoadTariff(int index)
{
    if (index < 0 || index >= tariffoptions::kMaxTariffs)
        return;
    tariffoptions::readProfileValues(m_settings, AvailableTariffs[static_cast<std::size_t>(index)]);
}

void ProvidersDialog::LoadTariffs()
{
    if (DragSource == tariff::FromTariff)
        endDrag();
    profileList->clear();
    TariffCount = 0;
    const QStringList names = m_settings.subkeys(settings::ProfileDayCost);
    // The editor keeps twenty profiles at most; more come only from a registry edited
    // by hand, and the first twenty in its order are the ones offered.
    const int count = std::min<int>(static_cast<int>(names.size()), tariffoptions::kMaxTariffs);
    for (int a = 0; a < count; ++a) {
        AvailableTariffs[static_cast<std::size_t>(a)] = TariffProfile();
        AvailableTariffs[static_cast<std::size_t>(a)].Name = names[a];
        auto* row = new QTreeWidgetItem(profileList);
        row->setText(0, names[a]);
        TariffCount = a + 1;
        LoadTariff(a);
    }
    if (TariffCount == 0) {
        // As by Cancel, once the user has read why: a dialog on the screen goes after
        // its activation is over and its message is closed.
        m_closing = true;
        tariffoptions::messageWithDialog(
            *this, QStringLiteral("No tariffs found! To create tariffs go to menu Options|Tariffs."),
            MessageIcon::Exclamation, [this] {
                if (isVisible())
                    QTimer::singleShot(0, this, [this] { reject(); });
                else
                    reject();
            });
    }
}

void ProvidersDialog::LoadProviderDays(int index)
{
    if (index < 0 || index >= static_cast<int>(ProviderDays.size()))
        return;
    const QString provider = ProviderDays[static_cast<std::size_t>(index)].Name;
    // Showing a provider that was never saved creates nothing.
    if (!m_settings.hasKey(settings::SlotProfile.in(provider)))
        return;
    for (int d = 0; d < tariffoptions::kDaySlots; ++d) {
        const QString profile = m_settings.get(settings::SlotProfile.in(tariffoptions::slotSubkey(provider, d)));
        if (!profile.isEmpty())
            dayList->topLevelItem(d)->setText(0, profile);
    }
}

void ProvidersDialog::SaveProviderDays(int index)
{
    if (index < 0 || index >= static_cast<int>(ProviderDays.size()))
        return;
    const tariff::ProviderRecord& record = ProviderDays[static_cast<std::size_t>(index)];
    platform::RegistryTransaction transaction(m_settings.store());
    if (!m_settings.makeKey(settings::SlotProfile.in(record.Name)))
        throw platform::RegistryError(
            QStringLiteral("Failed to save the tariffs of '%1'").arg(record.Name).toStdString());
    for (int d = 0; d < tariffoptions::kDaySlots; ++d) {
        const QString slot = tariffoptions::slotSubkey(record.Name, d);
        if (!m_settings.makeKey(settings::SlotProfile.in(slot)))
            throw platform::RegistryError(
                QStringLiteral("Failed to save the tariffs of '%1'").arg(record.Name).toStdString());
        const QString& assigned = record.DayTariffs[static_cast<std::size_t>(d)];
        // The copies are the numbers read when the dialog opened; a name that is not
        // among them is saved as no tariff, which the charging treats as free.
        const TariffProfile* profile =
            assigned.isEmpty() ? nullptr : tariffoptions::findProfile(AvailableTariffs.data(), TariffCount, assigned);
        tariffoptions::writeSlotCopies(m_settings, slot, profile);
        m_settings.set(settings::SlotProfile.in(slot), profile ? profile->Name : QString());
    }
    transaction.commit();
}

// ---- handlers ------------------------------------------------------------------------------------

void ProvidersDialog::FormActivate()
{
    m_loadFailed = true;
    m_closing = false;
    okButton->setEnabled(false);
    {
        const QSignalBlocker blocker(providerList);
        providerList->clear();
    }
    ProviderDays.clear();
    CurrentProviderIndex = 0;
    const QStringList providers = platform::dialUpEntries(m_settings.registry());
    if (providers.isEmpty())
        tariffoptions::messageWithDialog(*this, QStringLiteral("No providers found!"), MessageIcon::Exclamation);
    for (const QString& provider : std::as_const(providers)) {
        providerList->addItem(provider);
        tariff::ProviderRecord record;
        record.Name = provider;
        ProviderDays.push_back(record);
    }
    if (!providers.isEmpty()) {
        const QSignalBlocker blocker(providerList);
        providerList->setCurrentRow(0);
    }
    LoadTariffs();
    ResetDaysList();
    LoadProviderDays(0);
    CurrentProviderIndex = 0;
    m_loadFailed = false;
    okButton->setEnabled(!m_closing);
}

void ProvidersDialog::FormClose()
{
    endDrag();
    const QSignalBlocker blocker(providerList);
    providerList->clear();
}

void ProvidersDialog::providerSelected()
{
    const int selected = providerList->currentRow();
    if (selected < 0)
        return;
    StoreProviderDays(CurrentProviderIndex);
    CurrentProviderIndex = selected;
    if (ProviderDays[static_cast<std::size_t>(selected)].Edited == 1) {
        ShowProviderDays(CurrentProviderIndex);
    } else {
        ResetDaysList();
        LoadProviderDays(CurrentProviderIndex);
    }
}

void ProvidersDialog::okClicked()
{
    if (m_loadFailed || m_closing)
        return;
    StoreProviderDays(CurrentProviderIndex);
    {
        // All providers saved or none: a failure part-way leaves the old slots.
        platform::RegistryTransaction transaction(m_settings.store());
        for (int i = 0; i < static_cast<int>(ProviderDays.size()); ++i) {
            if (ProviderDays[static_cast<std::size_t>(i)].Edited == 1)
                SaveProviderDays(i);
        }
        transaction.commit();
    }
    done(QDialog::Accepted);
}

void ProvidersDialog::cancelClicked()
{
    reject();
}

void ProvidersDialog::helpClicked()
{
    platform::showHelpContext(kHelpButtonContext);
}

// ---- drag and drop ---------------------------------------------------------------------------------

bool ProvidersDialog::isListView(QObject* source) const
{
    return source == profileList || source == dayList;
}

void ProvidersDialog::endDrag()
{
    DragSource = tariff::NoDrag;
    DragItem = nullptr;
    m_pressedList = nullptr;
}

void ProvidersDialog::profileListPressed(Qt::MouseButton button, const QPoint& position)
{
    if (button != Qt::LeftButton)
        return;
    QTreeWidgetItem* row = profileList->itemAt(position);
    if (!row)
        return;
    DragItem = row;
    DragSource = tariff::FromTariff;
    m_pressedList = profileList;
    m_pressPosition = position;
}

void ProvidersDialog::dayListPressed(Qt::MouseButton button, const QPoint& position)
{
    if (button != Qt::LeftButton)
        return;
    QTreeWidgetItem* row = dayList->itemAt(position);
    if (!row || row->text(0).isEmpty())
        return;
    DragItem = row;
    DragSource = tariff::FromDays;
    m_pressedList = dayList;
    m_pressPosition = position;
}

void ProvidersDialog::dayListDragOver(QObject* source, const QPoint& position, bool& accept)
{
    accept = isListView(source) && DragSource == tariff::FromTariff && DragItem != nullptr
             && dayList->itemAt(position) != nullptr;
}

void ProvidersDialog::dayListDropped(QObject* source, const QPoint& position)
{
    bool accept = false;
    dayListDragOver(source, position, accept);
    if (!accept)
        return;
    dayList->itemAt(position)->setText(0, DragItem->text(0));
    dayList->viewport()->update();
}

void ProvidersDialog::profileListDragOver(QObject* source, const QPoint&, bool& accept)
{
    accept =
        isListView(source) && DragSource == tariff::FromDays && DragItem != nullptr && !DragItem->text(0).isEmpty();
}

void ProvidersDialog::profileListDropped(QObject* source, const QPoint& position)
{
    bool accept = false;
    profileListDragOver(source, position, accept);
    if (!accept)
        return;
    DragItem->setText(0, QString());
    dayList->viewport()->update();
}

void ProvidersDialog::startDrag(QTreeWidget* list)
{
    auto* drag = new QDrag(list);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kDragFormat), DragItem->text(0).toUtf8());
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
    endDrag();
}

bool ProvidersDialog::eventFilter(QObject* watched, QEvent* event)
{
    const bool onProfileList = watched == profileList->viewport();
    const bool onDayList = watched == dayList->viewport();
    if (!onProfileList && !onDayList)
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint position = e->position().toPoint();
        platform::guard([&] {
            if (onProfileList)
                profileListPressed(e->button(), position);
            else
                dayListPressed(e->button(), position);
        });
        return false;  // the press still selects the row
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        QTreeWidget* list = onProfileList ? profileList : dayList;
        if (m_pressedList == list && DragItem && (e->buttons() & Qt::LeftButton)
            && (e->position().toPoint() - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
            m_pressedList = nullptr;
            platform::guard([&] { startDrag(list); });
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (m_pressedList)
            endDrag();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        bool accept = false;
        platform::guard([&] {
            if (onProfileList)
                profileListDragOver(e->source(), e->position().toPoint(), accept);
            else
                dayListDragOver(e->source(), e->position().toPoint(), accept);
        });
        if (event->type() == QEvent::DragEnter) {
            // Taken whenever the drag is one of ours: a drag that enters over the empty
            // part of the days list may still reach a row, and the move events that
            // follow decide for each position.
            if (isListView(e->source()))
                e->acceptProposedAction();
            else
                e->ignore();
        } else if (accept) {
            e->acceptProposedAction();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        platform::guard([&] {
            if (onProfileList)
                profileListDropped(e->source(), e->position().toPoint());
            else
                dayListDropped(e->source(), e->position().toPoint());
        });
        e->acceptProposedAction();
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}
