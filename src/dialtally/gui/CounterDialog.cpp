#include "dialtally/gui/CounterDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/core/LocalTime.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/BeepDialog.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kHelpContext = 11;

QPlainTextEdit* newNote(QWidget* parent, const char* objectName, const QString& text)
{
    auto* note = new QPlainTextEdit(text, parent);
    note->setObjectName(QString::fromLatin1(objectName));
    note->setReadOnly(true);
    note->setFrameShape(QFrame::NoFrame);
    note->setFocusPolicy(Qt::NoFocus);
    note->setLineWrapMode(QPlainTextEdit::NoWrap);
    note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = note->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    note->setPalette(palette);
    // The note's lines are broken where the design broke them, for a narrower font
    // than any here: the note is as wide as its longest line in the dialog's own font,
    // and the dialog widens for it.
    const QFontMetricsF metrics(note->font());
    qreal longest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        longest = std::max(longest, metrics.horizontalAdvance(line));
    const qreal margins = 2 * note->document()->documentMargin() + 2 * note->frameWidth();
    note->setMinimumWidth(static_cast<int>(std::ceil(longest + margins)) + 1);
    note->setFixedHeight(76);
    return note;
}

QLabel* newPicture(QWidget* parent, QStyle::StandardPixmap pixmap)
{
    auto* picture = new QLabel(parent);
    picture->setPixmap(parent->style()->standardIcon(pixmap).pixmap(32, 32));
    picture->setFixedSize(40, 40);
    return picture;
}

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

}  // namespace

namespace resetdialog {

CounterChoice counterChoice(int checkedButton, int currentMode, int currentDay, int todayDay)
{
    CounterChoice choice;
    choice.resetMode = currentMode;
    choice.resetDay = currentDay;
    if (checkedButton == 1) {
        choice.resetMode = 1;
        choice.resetDay = period::nextTwoWeeklyResetDay(todayDay);
        choice.writesResetDay = true;
    } else if (checkedButton >= 2 && checkedButton <= 4) {
        choice.resetMode = checkedButton;
    }
    return choice;
}

}  // namespace resetdialog

CounterDialog::CounterDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("counterDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Counter"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(318, 377);

    auto* layout = new QVBoxLayout(this);
    pageTabs = new QTabWidget(this);
    pageTabs->setObjectName(QStringLiteral("pageTabs"));
    layout->addWidget(pageTabs, 1);

    resetPage = new QWidget;
    resetPage->setObjectName(QStringLiteral("resetPage"));
    pageTabs->addTab(resetPage, QStringLiteral("Reset"));
    {
        auto* page = new QVBoxLayout(resetPage);
        auto* top = new QHBoxLayout;
        top->addWidget(newPicture(resetPage, QStyle::SP_BrowserReload), 0, Qt::AlignTop);
        resetNote = newNote(resetPage, "resetNote",
                            QStringLiteral("  Here you can specify how to reset \n"
                                           "general fee and counter. If you want to \n"
                                           "have report after reseting counter see \n"
                                           "\"Report\"."));
        top->addWidget(resetNote, 1);
        page->addLayout(top);
        twoWeeksRadio = new QRadioButton(QStringLiteral("Reset Counter after two weeks"), resetPage);
        twoWeeksRadio->setObjectName(QStringLiteral("twoWeeksRadio"));
        monthRadio = new QRadioButton(QStringLiteral("Reset Counter after the month"), resetPage);
        monthRadio->setObjectName(QStringLiteral("monthRadio"));
        twoMonthsRadio = new QRadioButton(QStringLiteral("Reset Counter after two months"), resetPage);
        twoMonthsRadio->setObjectName(QStringLiteral("twoMonthsRadio"));
        neverResetRadio = new QRadioButton(QStringLiteral("Never Reset"), resetPage);
        neverResetRadio->setObjectName(QStringLiteral("neverResetRadio"));
        for (QRadioButton* button : {twoWeeksRadio, monthRadio, twoMonthsRadio, neverResetRadio})
            page->addWidget(button);
        page->addStretch();
        resetNowButton = new QPushButton(QStringLiteral("Reset now"), resetPage);
        resetNowButton->setObjectName(QStringLiteral("resetNowButton"));
        page->addWidget(resetNowButton, 0, Qt::AlignLeft);
    }

    reportPage = new QWidget;
    reportPage->setObjectName(QStringLiteral("reportPage"));
    pageTabs->addTab(reportPage, QStringLiteral("Report"));
    {
        auto* page = new QVBoxLayout(reportPage);
        auto* top = new QHBoxLayout;
        top->addWidget(newPicture(reportPage, QStyle::SP_FileDialogDetailedView), 0, Qt::AlignTop);
        reportNote = newNote(reportPage, "reportNote",
                             QStringLiteral("  Here you can make to specify to create \n"
                                            "report about the General Fee. The txt file \n"
                                            "will be in program directory /Reports"));
        top->addWidget(reportNote, 1);
        page->addLayout(top);
        reportEnabledCheck = new QCheckBox(QStringLiteral("Report enabled"), reportPage);
        reportEnabledCheck->setObjectName(QStringLiteral("reportEnabledCheck"));
        page->addWidget(reportEnabledCheck);
        page->addStretch();
        reportNowButton = new QPushButton(QStringLiteral("Create Report now"), reportPage);
        reportNowButton->setObjectName(QStringLiteral("reportNowButton"));
        page->addWidget(reportNowButton, 0, Qt::AlignLeft);
    }

    layout->addWidget(platform::okCancelHelpRow(this, okButton, cancelButton, helpButton, true));
    // The design's size, or wider where the notes' lines need it.
    setFixedSize(std::max(318, minimumSizeHint().width()), 377);

    connect(resetNowButton, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::resetNowClicked));
    connect(reportNowButton, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::reportNowClicked));
    connect(okButton, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::okClicked));
    connect(cancelButton, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::cancelClicked));
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
}

CounterDialog::~CounterDialog() = default;

int CounterDialog::checkedResetButton() const
{
    return beep::checkedNumber(twoWeeksRadio, monthRadio, twoMonthsRadio, neverResetRadio);
}

void CounterDialog::setCheckedResetButton(int number)
{
    QRadioButton* buttons[] = {twoWeeksRadio, monthRadio, twoMonthsRadio, neverResetRadio};
    if (number >= 1 && number <= 4)
        buttons[number - 1]->setChecked(true);
}

void CounterDialog::FormCreate()
{
    setCheckedResetButton(m_settings.get(settings::Reset));
    reportEnabledCheck->setChecked(m_settings.get(settings::Report) == 1);
}

void CounterDialog::resetNowClicked()
{
    const QDate today = platform::clock().now().date();
    m_session.resetCounter(today.year(), today.month(), today.day(), reportEnabledCheck->isChecked());
}

void CounterDialog::reportNowClicked()
{
    const QDate today = platform::clock().now().date();
    QString error;
    if (!m_session.writeReport(today.year(), today.month(), today.day(), &error))
        platform::messageBox(QStringLiteral("Can't write the report %1.").arg(error), caption(),
                             platform::MessageIcon::Error);
}

void CounterDialog::okClicked()
{
    const QDate today = platform::clock().now().date();
    const int checked = checkedResetButton();
    const resetdialog::CounterChoice choice =
        resetdialog::counterChoice(checked, static_cast<int>(m_session.counterPeriod().resetMode()),
                                   m_session.counterPeriod().resetDay(), today.day());

    {
        // The choice lands whole or not at all, and the session takes it over only
        // once it is stored.
        platform::RegistryTransaction transaction(m_settings.store());
        if (choice.writesResetDay)
            m_settings.set(settings::Reset14, choice.resetDay);
        m_settings.set(settings::Reset, choice.resetMode);
        m_settings.set(settings::Report, reportEnabledCheck->isChecked() ? 1 : 0);
        // The budget watch works only with the monthly period, and only a monthly
        // period chosen here keeps it: a mode kept from a stored value of no button is
        // not a choice of the user's.
        if (checked != 2)
            m_settings.set(settings::BudgetOn, 0);
        transaction.commit();
    }
    m_session.setResetRule(period::resetModeFrom(choice.resetMode),
                           choice.writesResetDay ? std::optional<int>(choice.resetDay) : std::nullopt);
    done(1);
}

void CounterDialog::cancelClicked()
{
    done(2);
}

void CounterDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}

void CounterDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    centreOnScreen(*this);
    // Loaded once per showing, not on every activation: coming back from the help
    // window must not throw away the choices not yet confirmed.
    platform::guard([this] { FormCreate(); });
}
