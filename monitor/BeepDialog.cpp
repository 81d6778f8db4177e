#include "BeepDialog.h"

#include "Application.h"
#include "Help.h"
#include "MessageBox.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "SplashWindow.h"
#include "MainWindow.h"

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

using platform::RootKey;
namespace rk = regkeys;

namespace {

constexpr int kHelpContext = 10;
// The edit's text is taken into a buffer of this many characters.
constexpr int kIntervalTextLength = 19;

using regkeys::name;

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

// The unit's registry access object, for the program's life.
platform::Registry& beepRegistry()
{
    static platform::Registry registry;
    return registry;
}

// The beep key on the unit's registry object for the scope. A key that fails to open
// leaves none open, so reads and writes raise the registry's own errors.
platform::KeyScope beepKey()
{
    return platform::KeyScope(beepRegistry(), RootKey::CurrentUser, name(rk::kBeep), true);
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

QHBoxLayout* centredOkCancelHelpRow(QWidget* dialog, QPushButton*& ok, QPushButton*& cancel, QPushButton*& help)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("BitBtn3"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    help = new QPushButton(QStringLiteral("&Help"), dialog);
    help->setObjectName(QStringLiteral("BitBtn1"));
    for (QPushButton* button : {ok, cancel, help})
        buttons->addWidget(button);
    buttons->addStretch();
    return buttons;
}

}  // namespace beep

BeepDialog::BeepDialog(MainWindow& mainWindow, QWidget* parent)
    : QDialog(parent)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Form4"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Beep"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Beep function"));

    auto* page = new QVBoxLayout(TabSheet1);
    auto* intro = new QHBoxLayout;
    Image1 = new QLabel(TabSheet1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(32, 32));
    intro->addWidget(Image1, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    Label1 = new QLabel(QStringLiteral("This function inform you about the time spent in Internet."), TabSheet1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("You will not have to to look at the program because "), TabSheet1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("you will year a beep after some time interval."), TabSheet1);
    Label3->setObjectName(QStringLiteral("Label3"));
    texts->addWidget(Label1);
    texts->addWidget(Label2);
    texts->addWidget(Label3);
    intro->addLayout(texts, 1);
    page->addLayout(intro);

    auto* interval = new QHBoxLayout;
    Label4 = new QLabel(QStringLiteral("Time interval in minutes :"), TabSheet1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Edit1 = new QLineEdit(TabSheet1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(60);
    interval->addWidget(Label4);
    interval->addWidget(Edit1);
    interval->addStretch();
    page->addLayout(interval);

    CheckBox1 = new QCheckBox(QStringLiteral("Beep is turned ON/OFF"), TabSheet1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    page->addWidget(CheckBox1);

    auto* sounds = new QGridLayout;
    RadioButton1 = new QRadioButton(QStringLiteral("System Default"), TabSheet1);
    RadioButton2 = new QRadioButton(QStringLiteral("System Asterisk"), TabSheet1);
    RadioButton3 = new QRadioButton(QStringLiteral("System Exclamation"), TabSheet1);
    RadioButton4 = new QRadioButton(QStringLiteral("System Hand"), TabSheet1);
    int i = 0;
    for (QRadioButton* button : {RadioButton1, RadioButton2, RadioButton3, RadioButton4}) {
        button->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        button->setToolTip(QStringLiteral("Select the sound !"));
        sounds->addWidget(button, i / 2, i % 2);
        ++i;
    }
    page->addLayout(sounds);

    layout->addLayout(beep::centredOkCancelHelpRow(this, BitBtn3, BitBtn2, BitBtn1));
    setFixedSize(sizeHint());

    Edit1->installEventFilter(this);
    connect(CheckBox1, &QCheckBox::toggled, this, platform::guarded(this, &BeepDialog::CheckBox1Click));
    connect(Edit1, &QLineEdit::textEdited, this, platform::guarded(this, &BeepDialog::Edit1Change));
    connect(BitBtn3, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::BitBtn3Click));
    connect(BitBtn2, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::BitBtn2Click));
    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &BeepDialog::BitBtn1Click));
    platform::openHelpContextOnF1(this, kHelpContext);
}

BeepDialog::~BeepDialog() = default;

int BeepDialog::checkedSound() const
{
    return beep::checkedNumber(RadioButton1, RadioButton2, RadioButton3, RadioButton4);
}

void BeepDialog::FormCreate()
{
    int sound = 0;
    {
        platform::KeyScope key = beepKey();
        CheckBox1->setChecked(key->readInteger(name(rk::vBeepEnabled)) != 0);
        Edit1->setText(QString::number(key->readInteger(name(rk::vBeepInterval))));
        sound = key->readInteger(name(rk::vBeepSound));
    }
    Edit1->setEnabled(CheckBox1->isChecked());
    QRadioButton* buttons[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    if (sound >= 1 && sound <= 4)
        buttons[sound - 1]->setChecked(true);
}

void BeepDialog::CheckBox1Click()
{
    Edit1->setEnabled(CheckBox1->isChecked());
}

void BeepDialog::restoreInterval()
{
    // The restored text is the main window's own interval: it is not checked again.
    m_restoring = true;
    Edit1->setText(QString::number(m_mainWindow.BeepInterval));
    m_restoring = false;
}

void BeepDialog::Edit1Change()
{
    if (m_restoring)
        return;
    const beep::IntervalCheck check = beep::checkIntervalText(Edit1->text());
    // One message per wrong character of the text as it was typed.
    const int messages = check.wrongCharacters + (check.rejectedValue ? 1 : 0);
    for (int i = 0; i < messages; ++i) {
        platform::messageBox(QStringLiteral("Incorrect number !"), caption(),
                             platform::MessageIcon::Exclamation);
        restoreInterval();
    }
}

bool BeepDialog::Edit1KeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    BitBtn3->click();
    return true;
}

void BeepDialog::BitBtn3Click()
{
    const QString text = Edit1->text().left(kIntervalTextLength);
    // A text that was never accepted (a zero loaded from the registry) is no interval.
    const bool hasInterval = !text.isEmpty() && beep::checkIntervalText(text).accepted();
    const int interval = hasInterval ? beep::intervalOf(text) : m_mainWindow.BeepInterval;
    // With no sound chosen (the stored number was none of the four) the sound stays.
    const int sound = checkedSound() != 0 ? checkedSound() : m_mainWindow.BeepSound;

    {
        platform::RegistryTransaction transaction(beepRegistry().store());
        platform::KeyScope key = beepKey();
        key->writeInteger(name(rk::vBeepEnabled), CheckBox1->isChecked() ? 1 : 0);
        if (hasInterval)
            key->writeInteger(name(rk::vBeepInterval), interval);
        key->writeInteger(name(rk::vBeepSound), sound);
        transaction.commit();
    }

    m_mainWindow.BeepInterval = interval;
    if (!hasInterval)
        restoreInterval();
    m_mainWindow.BeepCount = beeper::nextBeepCount(m_mainWindow.BeepInterval, m_mainWindow.ElapsedSeconds);
    m_mainWindow.BeepSound = sound;
    done(1);
}

void BeepDialog::BitBtn2Click()
{
    done(2);
}

void BeepDialog::BitBtn1Click()
{
    platform::help().context(platform::Application::instance().helpFile(), kHelpContext);
}

bool BeepDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Edit1 && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        bool taken = false;
        platform::guard([&] { taken = Edit1KeyDown(key); });
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
