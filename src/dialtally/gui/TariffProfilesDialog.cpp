#include "dialtally/gui/TariffProfilesDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Settings.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <deque>
#include <utility>

using platform::MessageIcon;

namespace {

constexpr int kHelpContext = 12;
constexpr int kNumberLength = 2;

void message(const QString& text, MessageIcon icon)
{
    platform::messageBox(text, QString::fromLatin1(program::kCaption), icon);
}

// The glyph of the one-cost-per-day toggle while it is on: a sun over a flat line,
// one rate for the whole day.
QIcon oneCostPerDayGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(160, 110, 0), 1.2));
    p.setBrush(QColor(255, 200, 0));
    p.drawEllipse(QRectF(4, 2, 8, 8));
    p.setPen(QPen(Qt::darkBlue, 2));
    p.drawLine(QPointF(1, 13.5), QPointF(15, 13.5));
    return QIcon(pixmap);
}

QLineEdit* numberField(QWidget* parent, const char* objectName)
{
    auto* edit = new QLineEdit(QStringLiteral("0"), parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMaxLength(kNumberLength);
    edit->setFixedWidth(36);
    return edit;
}

}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

namespace tariffoptions {

namespace {

// The messages an opening of a dialog gives, held until the dialog's window is
// exposed; a box that came before its dialog would speak of a window not yet seen.
class MessagesWithDialog : public QObject {
public:
    struct Pending {
        QString text;
        MessageIcon icon;
        std::function<void()> then;
    };

    explicit MessagesWithDialog(QDialog& dialog)
        : QObject(&dialog)
        , m_dialog(dialog)
    {
        setObjectName(QStringLiteral("MessagesWithDialog"));
        dialog.installEventFilter(this);
    }

    bool hasPending() const { return !m_pending.empty(); }

    void add(Pending pending)
    {
        m_pending.push_back(std::move(pending));
        watchWindow();
    }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == &m_dialog && e->type() == QEvent::Hide)
            m_pending.clear();
        else if (watched == m_window && e->type() == QEvent::Expose && m_window->isExposed() && !m_pending.empty())
            // Not inside the expose itself: the dialog paints first.
            QTimer::singleShot(0, this, [this] { showPending(); });
        return QObject::eventFilter(watched, e);
    }

    void showPending()
    {
        // One box at a time: the dialog is exposed again while a box is open.
        if (m_showing)
            return;
        const QScopedValueRollback showing(m_showing, true);
        while (!m_pending.empty() && m_dialog.isVisible()) {
            Pending next = std::move(m_pending.front());
            m_pending.pop_front();
            platform::guard([&] {
                platform::messageBox(next.text, QString::fromLatin1(program::kCaption), next.icon,
                                     platform::MessageButtons::Ok, platform::MessageOwner::Window, &m_dialog);
                if (next.then)
                    next.then();
            });
        }
    }

private:
    void watchWindow()
    {
        QWindow* window = m_dialog.windowHandle();
        if (window && window != m_window) {
            m_window = window;
            window->installEventFilter(this);
        }
    }

    QDialog& m_dialog;
    QPointer<QWindow> m_window;
    std::deque<Pending> m_pending;
    bool m_showing = false;
};

}  // namespace

void messageWithDialog(QDialog& dialog, const QString& text, MessageIcon icon, std::function<void()> then)
{
    auto* messages =
        dialog.findChild<MessagesWithDialog*>(QStringLiteral("MessagesWithDialog"), Qt::FindDirectChildrenOnly);
    const bool waiting = messages && messages->hasPending();
    const QWindow* window = dialog.windowHandle();
    if (!waiting && (!dialog.isVisible() || (window && window->isExposed()))) {
        const platform::MessageOwner owner =
            dialog.isVisible() ? platform::MessageOwner::Window : platform::MessageOwner::Application;
        platform::messageBox(text, QString::fromLatin1(program::kCaption), icon, platform::MessageButtons::Ok, owner,
                             &dialog);
        if (then)
            then();
        return;
    }
    if (!messages)
        messages = new MessagesWithDialog(dialog);
    messages->add({text, icon, std::move(then)});
}

}  // namespace tariffoptions

using tariffoptions::TariffProfile;

// =====================================================================================
// The dialog
// =====================================================================================

TariffProfilesDialog::TariffProfilesDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("tariffProfilesDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Tariffs Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(361, 293);
    oneCostPerDayIcon = oneCostPerDayGlyph();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    profileBox = new QGroupBox(QStringLiteral("Tariffs:"), this);
    profileBox->setObjectName(QStringLiteral("profileBox"));
    profileBox->setFixedWidth(162);
    auto* left = new QVBoxLayout(profileBox);
    left->setContentsMargins(6, 6, 6, 6);
    profileList = new QListWidget(profileBox);
    profileList->setObjectName(QStringLiteral("profileList"));
    profileList->setSelectionMode(QAbstractItemView::SingleSelection);
    left->addWidget(profileList, 1);
    nameEdit = new QLineEdit(profileBox);
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    nameEdit->setMaxLength(tariffoptions::kTariffNameLength);
    left->addWidget(nameEdit);
    // One under the other: the group is too narrow for the three captions in a row.
    const auto profileButton = [this, left](const char* objectName, const char* text) {
        auto* button = new QToolButton(profileBox);
        button->setObjectName(QString::fromLatin1(objectName));
        button->setText(QString::fromLatin1(text));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        left->addWidget(button);
        return button;
    };
    left->setSpacing(2);
    createButton = profileButton("createButton", "Create new tariff");
    renameButton = profileButton("renameButton", "Rename tariff");
    deleteButton = profileButton("deleteButton", "Delete tariff");
    columns->addWidget(profileBox);

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(4);
    const auto label = [this](const char* text, QLineEdit* buddy) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setWordWrap(true);
        l->setBuddy(buddy);
        return l;
    };
    startingIntervalEdit = numberField(this, "startingIntervalEdit");
    endingIntervalEdit = numberField(this, "endingIntervalEdit");
    intervalBStartEdit = numberField(this, "intervalBStartEdit");
    intervalBEndEdit = numberField(this, "intervalBEndEdit");
    dayCostEdit = numberField(this, "dayCostEdit");
    nightCostEdit = numberField(this, "nightCostEdit");
    for (QLineEdit* mirror : {intervalBStartEdit, intervalBEndEdit}) {
        mirror->setReadOnly(true);
        mirror->setEnabled(false);
    }
    int row = 0;
    fields->addWidget(label("Enter hour when interval 'A' begins:", startingIntervalEdit), row, 0);
    fields->addWidget(startingIntervalEdit, row++, 1);
    fields->addWidget(label("and when ends:", endingIntervalEdit), row, 0);
    fields->addWidget(endingIntervalEdit, row++, 1);
    fields->addWidget(label("Interval 'B' begins:", intervalBStartEdit), row, 0);
    fields->addWidget(intervalBStartEdit, row++, 1);
    fields->addWidget(label("and ends:", intervalBEndEdit), row, 0);
    fields->addWidget(intervalBEndEdit, row++, 1);
    fields->addWidget(label("'A' interval's cost per minute (in cents):", dayCostEdit), row, 0);
    fields->addWidget(dayCostEdit, row++, 1);
    fields->addWidget(label("'B' interval's cost per minute (in cents):", nightCostEdit), row, 0);
    fields->addWidget(nightCostEdit, row++, 1);
    oneCostPerDayButton = new QToolButton(this);
    oneCostPerDayButton->setObjectName(QStringLiteral("oneCostPerDayButton"));
    oneCostPerDayButton->setText(QStringLiteral("OCPD"));
    oneCostPerDayButton->setToolTip(QStringLiteral("One cost per day"));
    oneCostPerDayButton->setAutoRaise(true);
    oneCostPerDayButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    fields->addWidget(oneCostPerDayButton, row++, 0, 1, 2, Qt::AlignLeft);
    fields->setRowStretch(row, 1);
    columns->addLayout(fields, 1);

    layout->addWidget(platform::okCancelHelpRow(this, okButton, cancelButton, helpButton));

    using platform::guarded;
    connect(profileList, &QListWidget::currentRowChanged, this, guarded(this, &TariffProfilesDialog::profileSelected));
    connect(createButton, &QToolButton::clicked, this, guarded(this, &TariffProfilesDialog::createClicked));
    connect(renameButton, &QToolButton::clicked, this, guarded(this, &TariffProfilesDialog::renameClicked));
    connect(deleteButton, &QToolButton::clicked, this, guarded(this, &TariffProfilesDialog::deleteClicked));
    connect(oneCostPerDayButton, &QToolButton::clicked, this,
            guarded(this, &TariffProfilesDialog::oneCostPerDayClicked));
    connect(startingIntervalEdit, &QLineEdit::textChanged, this,
            guarded(this, &TariffProfilesDialog::startingIntervalChanged));
    connect(endingIntervalEdit, &QLineEdit::textChanged, this,
            guarded(this, &TariffProfilesDialog::endingIntervalChanged));
    connect(dayCostEdit, &QLineEdit::textChanged, this, guarded(this, &TariffProfilesDialog::dayCostChanged));
    connect(nightCostEdit, &QLineEdit::textChanged, this, guarded(this, &TariffProfilesDialog::nightCostChanged));
    connect(okButton, &QPushButton::clicked, this, guarded(this, &TariffProfilesDialog::okClicked));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, guarded(this, &TariffProfilesDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
}

void TariffProfilesDialog::showEvent(QShowEvent* e)
{
    centreOnScreen(*this);
    QDialog::showEvent(e);
    // Once per opening: the dialog comes back to the front after each of its own
    // message boxes, and a reload then would throw the user's edits away.
    if (!m_activated) {
        m_activated = true;
        platform::guard([this] { FormActivate(); });
    }
}

void TariffProfilesDialog::done(int result)
{
    platform::guard([this] { FormClose(); });
    m_activated = false;
    QDialog::done(result);
}

// ---- fields ------------------------------------------------------------------------------

bool TariffProfilesDialog::ocpdOn() const
{
    return !startingIntervalEdit->isEnabled();
}

void TariffProfilesDialog::selectRow(int row)
{
    // A row the program selects is no user's choice: it runs no handler.
    const QSignalBlocker blocker(profileList);
    profileList->setCurrentRow(row);
}

void TariffProfilesDialog::setFieldText(QLineEdit* edit, const QString& text)
{
    // The form's two characters bound what the user types, not what a registry edited
    // by hand holds: a longer number is shown whole rather than stored back cut.
    edit->setMaxLength(std::max<int>(kNumberLength, static_cast<int>(text.size())));
    edit->setText(text);
}

bool TariffProfilesDialog::ValidateNumber(const QString& text, bool isHour)
{
    const int problems = tariffoptions::numberProblems(text, isHour);
    if (problems & tariffoptions::HourOutOfRange)
        message(QStringLiteral("You can only type valid hour (0 - 23)!"), MessageIcon::Exclamation);
    if (problems & tariffoptions::NotADigit)
        message(QStringLiteral("Incorrect number !"), MessageIcon::Exclamation);
    return problems == tariffoptions::NumberOk;
}

void TariffProfilesDialog::hourChanged(QLineEdit* edit)
{
    if (!ValidateNumber(edit->text(), true))
        edit->setText(QStringLiteral("0"));
    SyncIntervalB();
}

void TariffProfilesDialog::costChanged(QLineEdit* edit)
{
    if (!ValidateNumber(edit->text(), false))
        edit->setText(QStringLiteral("0"));
}

void TariffProfilesDialog::startingIntervalChanged()
{
    hourChanged(startingIntervalEdit);
}

void TariffProfilesDialog::endingIntervalChanged()
{
    hourChanged(endingIntervalEdit);
}

void TariffProfilesDialog::dayCostChanged()
{
    costChanged(dayCostEdit);
}

void TariffProfilesDialog::nightCostChanged()
{
    costChanged(nightCostEdit);
}

void TariffProfilesDialog::SyncIntervalB()
{
    // Interval 'B' is the rest of the day: it begins where 'A' ends and ends where
    // 'A' begins.
    setFieldText(intervalBStartEdit, endingIntervalEdit->text());
    setFieldText(intervalBEndEdit, startingIntervalEdit->text());
}

void TariffProfilesDialog::ClearTariffFields()
{
    for (QLineEdit* mirror : {intervalBStartEdit, intervalBEndEdit}) {
        setFieldText(mirror, QStringLiteral("0"));
        mirror->setEnabled(false);
    }
    for (QLineEdit* edit : {dayCostEdit, nightCostEdit, startingIntervalEdit, endingIntervalEdit}) {
        setFieldText(edit, QStringLiteral("0"));
        edit->setEnabled(true);
    }
    oneCostPerDayButton->setIcon(QIcon());
}

void TariffProfilesDialog::oneCostPerDayClicked()
{
    const bool turnOn = startingIntervalEdit->isEnabled();
    oneCostPerDayButton->setIcon(turnOn ? oneCostPerDayIcon : QIcon());
    // The day cost applies all day with the toggle on; the other fields keep their
    // values for when it goes off again.
    for (QLineEdit* edit : {startingIntervalEdit, endingIntervalEdit, nightCostEdit})
        edit->setEnabled(!turnOn);
}

// ---- the table -------------------------------------------------------------------------------

void TariffProfilesDialog::ReadTariffProfile(int index)
{
    if (index < 0 || index >= tariffoptions::kMaxTariffs)
        return;
    tariffoptions::readProfileValues(m_settings, TariffProfiles[static_cast<std::size_t>(index)]);
}

void TariffProfilesDialog::ShowTariff(int index)
{
    if (index < 0 || index >= tariffoptions::kMaxTariffs)
        return;
    const TariffProfile& entry = TariffProfiles[static_cast<std::size_t>(index)];
    // Each assignment runs the field's own check and mirror, as if typed.
    setFieldText(startingIntervalEdit, QString::number(entry.StartingInterval));
    setFieldText(endingIntervalEdit, QString::number(entry.EndingInterval));
    setFieldText(dayCostEdit, QString::number(entry.DayCost));
    setFieldText(nightCostEdit, QString::number(entry.NightCost));
    // A stored flag other than 0 or 1 leaves the toggle as it was.
    if ((startingIntervalEdit->isEnabled() ? 1 : 0) == entry.OCPD)
        oneCostPerDayClicked();
}

void TariffProfilesDialog::StoreTariff(int index)
{
    if (index < 0 || index >= profileList->count() || index >= tariffoptions::kMaxTariffs)
        return;
    TariffProfile& entry = TariffProfiles[static_cast<std::size_t>(index)];
    entry.Name = profileList->item(index)->text();
    entry.StartingInterval = tariffoptions::atoi(startingIntervalEdit->text());
    entry.EndingInterval = tariffoptions::atoi(endingIntervalEdit->text());
    entry.DayCost = tariffoptions::atoi(dayCostEdit->text());
    entry.NightCost = tariffoptions::atoi(nightCostEdit->text());
    entry.OCPD = ocpdOn() ? 1 : 0;
}

bool TariffProfilesDialog::TariffNameExists(const QString& name, int skipIndex) const
{
    // The registry folds the case of key names, so two names that differ only in case
    // would be saved into one key and one profile would be lost.
    for (int i = 0; i < profileList->count(); ++i) {
        if (i != skipIndex && profileList->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool TariffProfilesDialog::nameAccepted(const QString& newName, int skipIndex, const QString& duplicateMessage)
{
    QString refusal;
    if (newName.isEmpty())
        refusal = QStringLiteral("You have to enter tariff's name !");
    else if (!tariffoptions::isUsableTariffName(newName))
        refusal = QStringLiteral("The tariff's name can't contain the character '\\' !");
    else if (TariffNameExists(newName, skipIndex))
        refusal = duplicateMessage;
    if (refusal.isEmpty())
        return true;
    message(refusal, MessageIcon::Error);
    return false;
}

void TariffProfilesDialog::LoadTariffProfiles()
{
    profileList->clear();
    // Beyond the table's twenty entries only a hand-edited registry holds more; the
    // first twenty in the registry's order are the ones shown.
    const QStringList names = m_settings.subkeys(settings::ProfileDayCost);
    const int count = std::min<int>(static_cast<int>(names.size()), tariffoptions::kMaxTariffs);
    for (int i = 0; i < count; ++i) {
        TariffProfiles[static_cast<std::size_t>(i)].Name = names[i];
        profileList->addItem(names[i]);
        ReadTariffProfile(i);
    }
    if (count > 0) {
        selectRow(0);
        nameEdit->setText(profileList->item(0)->text());
        ShowTariff(0);
    } else {
        tariffoptions::messageWithDialog(
            *this, QStringLiteral("To create tariff enter tariff's name and then press 'Create new tariff' button"),
            MessageIcon::Information);
    }
    CurrentTariffIndex = 0;
}

void TariffProfilesDialog::SaveTariffProfiles()
{
    platform::RegistryTransaction transaction(m_settings.store());
    const int count = std::min<int>(profileList->count(), tariffoptions::kMaxTariffs);
    m_settings.removeKey(settings::ProfileDayCost);
    for (int i = 0; i < count; ++i) {
        const TariffProfile& entry = TariffProfiles[static_cast<std::size_t>(i)];
        if (!m_settings.makeKey(settings::ProfileDayCost.in(entry.Name)))
            throw platform::RegistryError(
                QStringLiteral("Failed to create the tariff '%1'").arg(entry.Name).toStdString());
        tariffoptions::writeProfileValues(m_settings, entry);
    }
    if (count == 0)
        m_settings.makeKey(settings::ProfileDayCost);
    transaction.commit();
}

void TariffProfilesDialog::PropagateTariffs()
{
    platform::RegistryTransaction transaction(m_settings.store());
    // Every provider that has day slots is refreshed, however many there are: one left
    // out would keep charging by numbers the user has changed.
    ProviderKeyNames = m_settings.subkeys(settings::SlotProfile);
    const int count = std::min<int>(profileList->count(), tariffoptions::kMaxTariffs);
    for (const QString& provider : std::as_const(ProviderKeyNames)) {
        for (int d = 0; d < tariffoptions::kDaySlots; ++d) {
            const QString slot = tariffoptions::slotSubkey(provider, d);
            if (!m_settings.makeKey(settings::SlotProfile.in(slot)))
                throw platform::RegistryError(
                    QStringLiteral("Failed to open the tariffs of '%1'").arg(provider).toStdString());
            const TariffProfile* profile =
                tariffoptions::findProfile(TariffProfiles.data(), count, m_settings.get(settings::SlotProfile.in(slot)));
            tariffoptions::writeSlotCopies(m_settings, slot, profile);
            // A slot whose profile is gone is no longer charged by it.
            if (!profile)
                m_settings.set(settings::SlotProfile.in(slot), QString());
        }
    }
    transaction.commit();
}

// ---- handlers --------------------------------------------------------------------------------

void TariffProfilesDialog::FormActivate()
{
    m_loadFailed = true;
    okButton->setEnabled(false);
    LoadTariffProfiles();
    m_loadFailed = false;
    okButton->setEnabled(true);
}

void TariffProfilesDialog::FormClose()
{
    {
        const QSignalBlocker blocker(profileList);
        profileList->clear();
    }
    nameEdit->clear();
    ClearTariffFields();
}

void TariffProfilesDialog::profileSelected()
{
    const int a = profileList->currentRow();
    if (a < 0)
        return;
    nameEdit->setText(profileList->item(a)->text());
    StoreTariff(CurrentTariffIndex);
    ShowTariff(a);
    CurrentTariffIndex = a;
}

void TariffProfilesDialog::createClicked()
{
    const QString newName = nameEdit->text();
    const int count = profileList->count();
    if (!nameAccepted(newName, count, QStringLiteral("The tariff you want to create is allready in the list!")))
        return;
    if (count >= tariffoptions::kMaxTariffs) {
        message(QStringLiteral("Maximum can be 20 tariffs"), MessageIcon::Error);
        return;
    }
    if (count > 0) {
        StoreTariff(CurrentTariffIndex);
        CurrentTariffIndex = count;
    }
    profileList->addItem(newName);
    selectRow(count);
    ClearTariffFields();
}

void TariffProfilesDialog::renameClicked()
{
    const int selected = profileList->currentRow();
    if (selected < 0)
        return;
    const QString newName = nameEdit->text();
    // The selected row may keep its own name (or change only its case); any other
    // row's name is refused.
    if (!nameAccepted(newName, selected, QStringLiteral("The tariff you want to rename is already in the list!")))
        return;
    profileList->item(selected)->setText(newName);
}

void TariffProfilesDialog::deleteClicked()
{
    const int selected = profileList->currentRow();
    if (selected < 0)
        return;
    const QString question =
        QStringLiteral("Are you sure to delete tariff '") + profileList->item(selected)->text() + QStringLiteral("'?");
    if (platform::messageBox(question, QString::fromLatin1(program::kCaption), MessageIcon::Question,
                             platform::MessageButtons::YesNo)
        != platform::Answer::Yes)
        return;
    {
        const QSignalBlocker blocker(profileList);
        delete profileList->takeItem(selected);
    }
    const int count = profileList->count();
    for (int i = selected; i < count && i + 1 < tariffoptions::kMaxTariffs; ++i)
        TariffProfiles[static_cast<std::size_t>(i)] = TariffProfiles[static_cast<std::size_t>(i) + 1];
    selectRow(0);
    CurrentTariffIndex = 0;
    if (count > 0) {
        nameEdit->setText(profileList->item(0)->text());
        ShowTariff(0);
    } else {
        nameEdit->clear();
        ClearTariffFields();
    }
}

void TariffProfilesDialog::okClicked()
{
    if (m_loadFailed)
        return;
    if (profileList->currentRow() >= 0)
        StoreTariff(profileList->currentRow());
    {
        // The profiles and the slots' copies of them change together or not at all:
        // a failure part-way leaves the old profiles and the old charging.
        platform::RegistryTransaction transaction(m_settings.store());
        SaveTariffProfiles();
        PropagateTariffs();
        transaction.commit();
    }
    done(QDialog::Accepted);
}

void TariffProfilesDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}
