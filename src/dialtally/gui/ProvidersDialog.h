// The Providers dialog: each dial-up entry's eight day slots, filled by dragging a
// tariff profile onto a day row, saved with a copy of the profile's numbers for the
// charging.
#pragma once

#include "dialtally/gui/TariffProfilesDialog.h"

#include <QDialog>
#include <QPoint>
#include <QString>

#include <array>
#include <vector>

class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class MonitoringSession;

namespace tariff {

// The day name of row `row` of the days list: "Sunday" to "Saturday", then "Holiday".
QString dayName(int row);

// One provider's slots as the dialog holds them.
struct ProviderRecord {
    QString Name;
    // The profile named in each slot, "" = none; Sunday to Saturday, then Holiday.
    std::array<QString, tariffoptions::kDaySlots> DayTariffs;
    // 1 = the record holds the dialog's own copy of the slots, which OK saves.
    int Edited = 0;
};

// Where the drag under way started.
enum DragFrom { NoDrag = 0, FromTariff = 1, FromDays = 2 };

}  // namespace tariff

class ProvidersDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProvidersDialog(MonitoringSession& session, QWidget* parent = nullptr);
    MonitoringSession& session() const { return m_session; }

    // The profiles found at the opening; entry i is row i of profileList.
    std::array<tariffoptions::TariffProfile, tariffoptions::kMaxTariffs> AvailableTariffs;
    int TariffCount = 0;
    // Entry i belongs to row i of providerList. Refilled at each opening, so no record
    // can outlive the dial-up entry whose slots it holds.
    std::vector<tariff::ProviderRecord> ProviderDays;
    int CurrentProviderIndex = 0;
    int DragSource = tariff::NoDrag;
    QTreeWidgetItem* DragItem = nullptr;

    // ---- operations ----------------------------------------------------------------
    void ResetDaysList();
    void ShowProviderDays(int index);
    void StoreProviderDays(int index);
    void LoadTariffs();
    void LoadTariff(int index);
    void LoadProviderDays(int index);
    void SaveProviderDays(int index);

    // ---- handlers --------------------------------------------------------------------
    void FormActivate();
    void FormClose();
    void providerSelected();
    void okClicked();
    void cancelClicked();
    void helpClicked();
    // Positions are in the coordinates of the list's viewport. `source` is the widget
    // the drag came from.
    void profileListPressed(Qt::MouseButton button, const QPoint& position);
    void profileListDragOver(QObject* source, const QPoint& position, bool& accept);
    void profileListDropped(QObject* source, const QPoint& position);
    void dayListPressed(Qt::MouseButton button, const QPoint& position);
    void dayListDragOver(QObject* source, const QPoint& position, bool& accept);
    void dayListDropped(QObject* source, const QPoint& position);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- controls ---------------------------------------------------------------
    QListWidget* providerList = nullptr;
    QTreeWidget* profileList = nullptr;  // the drag source of assignments
    QTreeWidget* dayList = nullptr;  // the eight slots of the shown provider
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;

    bool isListView(QObject* source) const;
    void startDrag(QTreeWidget* list);
    void endDrag();

    MonitoringSession& m_session;
    settings::Settings m_settings;
    bool m_activated = false;
    bool m_closing = false;
    // A load that stopped part-way would save slots naming the profiles it did not
    // reach as empty.
    bool m_loadFailed = false;
    // The press that may become a drag once the pointer moves with the button held.
    QTreeWidget* m_pressedList = nullptr;
    QPoint m_pressPosition;
};
