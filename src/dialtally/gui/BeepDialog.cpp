#include "dialtally/gui/BeepDialog.h"

#include "platform/gui/Application.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int kHelpContext = 10;
// The edit's text is taken into a buffer of this many characters.
constexpr int kIntervalTextLength = 19;

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}


}  // namespace

namespace beep {

IntervalCheck checkIntervalText(const QString& text)
{
    IntervalCheck check;
    const QString taken = text.left(kIntervalTextLength);
    for (const QChar c : taken) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            ++check.wrongCharacters;
    }
    if (check.wrongCharacters == 0 && !taken.isEmpty()) {
        bool ok = false;
        const qlonglong value = taken.toLongLong(&ok);
        // Zero would divide the beeper's time; more than the registry's integer holds
        // could not be stored as typed.
        check.rejectedValue = !ok || value < 1 || value > std::numeric_limits<std::int32_t>::max();
    }
    return check;
}

int intervalOf(const QString& text)
{
    return static_cast<int>(text.left(kIntervalTextLength).toLongLong());
}

int checkedNumber(const QRadioButton* first, const QRadioButton* second, const QRadioButton* third,
                  const QRadioButton* fourth)
{
    const QRadioButton* buttons[] = {first, second, third, fourth};
    for (int i = 0; i < 4; ++i) {
        if (buttons[i]->isChecked())
            return i + 1;
    }
    return 0;
}

}  // namespace beep

BeepDialog::BeepDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("beepDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Beep"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* layout = new QVBoxLayout(this);
    pageTabs = new QTabWidget(this);
    pageTabs->setObjectName(QStringLiteral("pageTabs"));
    layout->addWidget(pageTabs);
    beepPage = new QWidget;
    beepPage->setObjectName(QStringLiteral("beepPage"));
    pageTabs->addTab(beepPage, QStringLiteral("Beep function"));

    auto* page = new QVBoxLayout(beepPage);
    auto* intro = new QHBoxLayout;
    speakerPicture = new QLabel(beepPage);
    speakerPicture->setObjectName(QStringLiteral("speakerPicture"));
    speakerPicture->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(32, 32));
    intro->addWidget(speakerPicture, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    introLine1 = new QLabel(QStringLiteral("This function inform you about the time spent in Internet."), beepPage);
    introLine1->setObjectName(QStringLiteral("introLine1"));
    introLine2 = new QLabel(QStringLiteral("You will not have to to look at the program because "), beepPage);
    introLine2->setObjectName(QStringLiteral("introLine2"));
    introLine3 = new QLabel(QStringLiteral("you will year a beep after some time interval."), beepPage);
    introLine3->setObjectName(QStringLiteral("introLine3"));
    texts->addWidget(introLine1);
    texts->addWidget(introLine2);
    texts->addWidget(introLine3);
    intro->addLayout(texts, 1);
    page->addLayout(intro);

    auto* interval = new QHBoxLayout;
    intervalLabel = new QLabel(QStringLiteral("Time interval in minutes :"), beepPage);
    intervalLabel->setObjectName(QStringLiteral("intervalLabel"));
    intervalEdit = new QLineEdit(beepPage);
    intervalEdit->setObjectName(QStringLiteral("intervalEdit"));
    intervalEdit->setFixedWidth(60);
    interval->addWidget(intervalLabel);
    interval->addWidget(intervalEdit);
    interval->addStretch();
    page->addLayout(interval);

    beepOnCheck = new QCheckBox(QStringLiteral("Beep is turned ON/OFF"), beepPage);
    beepOnCheck->setObjectName(QStringLiteral("beepOnCheck"));
    page->addWidget(beepOnCheck);

    auto* sounds = new QGridLayout;
    defaultSoundRadio = new QRadioButton(QStringLiteral("System Default"), beepPage);
    defaultSoundRadio->setObjectName(QStringLiteral("defaultSoundRadio"));
    asteriskSoundRadio = new QRadioButton(QStringLiteral("System Asterisk"), beepPage);
    asteriskSoundRadio->setObjectName(QStringLiteral("asteriskSoundRadio"));
    exclamationSoundRadio = new QRadioButton(QStringLiteral("System Exclamation"), beepPage);
    exclamationSoundRadio->setObjectName(QStringLiteral("exclamationSoundRadio"));
    handSoundRadio = new QRadioButton(QStringLiteral("System Hand"), beepPage);
    handSoundRadio->setObjectName(QStringLiteral("handSoundRadio"));
    int i = 0;
    for (QRadioButton* button : {defaultSoundRadio, asteriskSoundRadio, exclamationSoundRadio, handSoundRadio}) {
        button->setToolTip(QStringLiteral("Select the sound !"));
        sounds->addWidget(button, i / 2, i % 2);
        ++i;
    }
    page->addLayout(sounds);

    layout->addWidget(platform::okCancelHelpRow(this, okButton, cancelButton, helpButton, true));
    setFixedSize(sizeHint());

    intervalEdit->installEventFilter(this);
    connect(beepOnCheck, &QCheckBox::toggled, this, platform::guarded(this, &BeepDialog::beepOnToggled));
    connect(intervalEdit, &QLineEdit::textEdited, this, platform::guarded(this, &BeepDialog::intervalChanged));
    connect(okButton, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::okClicked));
    connect(cancelButton, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::cancelClicked));
    connect(helpButton, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::helpClicked));
    platform::openHelpContextOnF1(this, kHelpContext);
}

BeepDialog::~BeepDialog() = default;

int BeepDialog::checkedSound() const
{
    return beep::checkedNumber(defaultSoundRadio, asteriskSoundRadio, exclamationSoundRadio, handSoundRadio);
}

void BeepDialog::FormCreate()
{
    int sound = 0;
    {
        beepOnCheck->setChecked(m_settings.get(settings::BeepEnabled) != 0);
        intervalEdit->setText(QString::number(m_settings.get(settings::BeepInterval)));
        sound = m_settings.get(settings::BeepSound);
    }
    intervalEdit->setEnabled(beepOnCheck->isChecked());
    QRadioButton* buttons[] = {defaultSoundRadio, asteriskSoundRadio, exclamationSoundRadio, handSoundRadio};
    if (sound >= 1 && sound <= 4)
        buttons[sound - 1]->setChecked(true);
}

void BeepDialog::beepOnToggled()
{
    intervalEdit->setEnabled(beepOnCheck->isChecked());
}

void BeepDialog::restoreInterval()
{
    // The restored text is the session's own interval: it is not checked again.
    m_restoring = true;
    intervalEdit->setText(QString::number(m_session.beeps().interval()));
    m_restoring = false;
}

void BeepDialog::intervalChanged()
{
    if (m_restoring)
        return;
    const beep::IntervalCheck check = beep::checkIntervalText(intervalEdit->text());
    // One message per wrong character of the text as it was typed.
    const int messages = check.wrongCharacters + (check.rejectedValue ? 1 : 0);
    for (int i = 0; i < messages; ++i) {
        platform::messageBox(QStringLiteral("Incorrect number !"), caption(), platform::MessageIcon::Exclamation);
        restoreInterval();
    }
}

bool BeepDialog::intervalKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    okButton->click();
    return true;
}

void BeepDialog::okClicked()
{
    const QString text = intervalEdit->text().left(kIntervalTextLength);
    // A text that was never accepted (a zero loaded from the registry) is no interval.
    const bool hasInterval = !text.isEmpty() && beep::checkIntervalText(text).accepted();
    const int interval = hasInterval ? beep::intervalOf(text) : m_session.beeps().interval();
    // With no sound chosen (the stored number was none of the four) the sound stays.
    const int sound = checkedSound() != 0 ? checkedSound() : m_session.beeps().sound();

    {
        platform::RegistryTransaction transaction(m_settings.store());
        m_settings.set(settings::BeepEnabled, beepOnCheck->isChecked() ? 1 : 0);
        if (hasInterval)
            m_settings.set(settings::BeepInterval, interval);
        m_settings.set(settings::BeepSound, sound);
        transaction.commit();
    }

    m_session.setBeepSettings(beepOnCheck->isChecked(), interval, sound);
    if (!hasInterval)
        restoreInterval();
    done(1);
}

void BeepDialog::cancelClicked()
{
    done(2);
}

void BeepDialog::helpClicked()
{
    platform::showHelpContext(kHelpContext);
}

bool BeepDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == intervalEdit && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        bool taken = false;
        platform::guard([&] { taken = intervalKeyDown(key); });
        if (taken)
            return true;
    }
    return QDialog::eventFilter(watched, e);
}

void BeepDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    centreOnScreen(*this);
    // Loaded once per showing, not on every activation: coming back from the help
    // window or from a message box must not throw away what the user has typed.
    platform::guard([this] { FormCreate(); });
}
