// The Tariffs Options dialog: the user's tariff profiles, and the copies of their
// numbers that every provider's day slots keep for the charging, which reads only
// those copies.
#pragma once

#include "platform/core/Settings.h"
#include "dialtally/core/TariffProfiles.h"

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class MonitoringSession;

namespace platform {
enum class MessageIcon;
}

namespace tariffoptions {

// A message about `dialog` that the dialog's opening gives: shown owned by the dialog
// once the dialog is on the screen, or at once when it is on the screen already or
// not shown at all. Messages of one opening come in the order they were given, each
// followed by its `then`. Those still waiting when the dialog is hidden are dropped
// with it.
void messageWithDialog(QDialog& dialog, const QString& text, platform::MessageIcon icon,
                       std::function<void()> then = {});

}  // namespace tariffoptions

class TariffProfilesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TariffProfilesDialog(MonitoringSession& session, QWidget* parent = nullptr);
    MonitoringSession& session() const { return m_session; }

    // The working copy: entry i belongs to row i of profileList.
    std::array<tariffoptions::TariffProfile, tariffoptions::kMaxTariffs> TariffProfiles;
    // The providers found under the tariffs key by the last propagation.
    QStringList ProviderKeyNames;
    int CurrentTariffIndex = 0;

    // ---- controls ---------------------------------------------------------------
    // The mark of the one-cost-per-day toggle while it is on.
    QIcon oneCostPerDayIcon;

    // ---- operations ----------------------------------------------------------------
    void LoadTariffProfiles();
    void ReadTariffProfile(int index);
    void ShowTariff(int index);
    void StoreTariff(int index);
    void SaveTariffProfiles();
    void PropagateTariffs();
    bool TariffNameExists(const QString& name, int skipIndex) const;
    void ClearTariffFields();
    void SyncIntervalB();
    bool ValidateNumber(const QString& text, bool isHour);
    bool ocpdOn() const;

    // ---- handlers --------------------------------------------------------------------
    void FormActivate();
    void FormClose();
    void profileSelected();
    void createClicked();
    void renameClicked();
    void deleteClicked();
    void oneCostPerDayClicked();
    void startingIntervalChanged();
    void endingIntervalChanged();
    void dayCostChanged();
    void nightCostChanged();
    void okClicked();
    void helpClicked();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* profileBox = nullptr;
    QListWidget* profileList = nullptr;
    QLineEdit* nameEdit = nullptr;
    QToolButton* createButton = nullptr;
    QToolButton* renameButton = nullptr;
    QToolButton* deleteButton = nullptr;
    // Interval 'A', the day rate's hours; disabled while one cost applies all day.
    QLineEdit* startingIntervalEdit = nullptr;
    QLineEdit* endingIntervalEdit = nullptr;
    // Interval 'B', the rest of the day: shown only, mirroring 'A' the other way round.
    QLineEdit* intervalBStartEdit = nullptr;
    QLineEdit* intervalBEndEdit = nullptr;
    QLineEdit* dayCostEdit = nullptr;
    QLineEdit* nightCostEdit = nullptr;
    QToolButton* oneCostPerDayButton = nullptr;  // "OCPD"
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;

    void selectRow(int row);
    // The checks that Create and Rename share, in their order; a refused name is
    // reported and gives false.
    bool nameAccepted(const QString& newName, int skipIndex, const QString& duplicateMessage);
    void setFieldText(QLineEdit* edit, const QString& text);
    void hourChanged(QLineEdit* edit);
    void costChanged(QLineEdit* edit);

    MonitoringSession& m_session;
    settings::Settings m_settings;
    bool m_activated = false;
    // A load that stopped part-way leaves a table that is not the registry's, and OK
    // would rewrite the whole key from it.
    bool m_loadFailed = false;
};
