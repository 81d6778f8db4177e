#include "CounterDialog.h"

#include "Application.h"
#include "Help.h"
#include "LocalTime.h"
#include "MessageBox.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "SplashWindow.h"
#include "BeepDialog.h"
#include "MainWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using platform::KeyScope;
using platform::RootKey;
namespace rk = regkeys;

namespace {

constexpr int kHelpContext = 11;

using regkeys::name;

// The unit's registry access object, for the program's life.
platform::Registry& counterDialogRegistry()
{
    static platform::Registry registry;
    return registry;
}

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
    // than any here: a smaller size keeps each line whole beside the picture.
    QFont font = note->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    note->setFont(font);
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

CounterDialog::CounterDialog(MainWindow& mainWindow, QWidget* parent)
    : QDialog(parent)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Form6"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Counter"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(318, 377);

    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1, 1);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Reset"));
    {
        auto* page = new QVBoxLayout(TabSheet1);
        auto* top = new QHBoxLayout;
        top->addWidget(newPicture(TabSheet1, QStyle::SP_BrowserReload), 0, Qt::AlignTop);
        Memo1 = newNote(TabSheet1, "Memo1",
                        QStringLiteral("  Here you can specify how to reset \n"
                                       "general fee and counter. If you want to \n"
                                       "have report after reseting counter see \n"
                                       "\"Report\"."));
        top->addWidget(Memo1, 1);
        page->addLayout(top);
        RadioButton1 = new QRadioButton(QStringLiteral("Reset Counter after two weeks"), TabSheet1);
        RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
        RadioButton2 = new QRadioButton(QStringLiteral("Reset Counter after the month"), TabSheet1);
        RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
        RadioButton3 = new QRadioButton(QStringLiteral("Reset Counter after two months"), TabSheet1);
        RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
        RadioButton4 = new QRadioButton(QStringLiteral("Never Reset"), TabSheet1);
        RadioButton4->setObjectName(QStringLiteral("RadioButton4"));
        for (QRadioButton* button : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
            page->addWidget(button);
        page->addStretch();
        Button1 = new QPushButton(QStringLiteral("Reset now"), TabSheet1);
        Button1->setObjectName(QStringLiteral("Button1"));
        page->addWidget(Button1, 0, Qt::AlignLeft);
    }

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Report"));
    {
        auto* page = new QVBoxLayout(TabSheet2);
        auto* top = new QHBoxLayout;
        top->addWidget(newPicture(TabSheet2, QStyle::SP_FileDialogDetailedView), 0, Qt::AlignTop);
        Memo2 = newNote(TabSheet2, "Memo2",
                        QStringLiteral("  Here you can make to specify to create \n"
                                       "report about the General Fee. The txt file \n"
                                       "will be in program directory /Reports"));
        top->addWidget(Memo2, 1);
        page->addLayout(top);
        CheckBox1 = new QCheckBox(QStringLiteral("Report enabled"), TabSheet2);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        page->addWidget(CheckBox1);
        page->addStretch();
        Button5 = new QPushButton(QStringLiteral("Create Report now"), TabSheet2);
        Button5->setObjectName(QStringLiteral("Button5"));
        page->addWidget(Button5, 0, Qt::AlignLeft);
    }

    layout->addLayout(beep::centredOkCancelHelpRow(this, BitBtn3, BitBtn2, BitBtn1));

    connect(Button1, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::Button1Click));
    connect(Button5, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::Button5Click));
    connect(BitBtn3, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::BitBtn3Click));
    connect(BitBtn2, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::BitBtn2Click));
    connect(BitBtn1, &QPushButton::clicked, this, platform::guarded(this, &CounterDialog::BitBtn1Click));
    platform::openHelpContextOnF1(this, kHelpContext);
}

CounterDialog::~CounterDialog() = default;

int CounterDialog::checkedResetButton() const
{
    return beep::checkedNumber(RadioButton1, RadioButton2, RadioButton3, RadioButton4);
}

void CounterDialog::setCheckedResetButton(int number)
{
    QRadioButton* buttons[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    if (number >= 1 && number <= 4)
        buttons[number - 1]->setChecked(true);
}

void CounterDialog::FormCreate()
{
    int mode = 0;
    {
        KeyScope key(counterDialogRegistry(), RootKey::LocalMachine, name(rk::kCounterAll), true);
        mode = key->readInteger(name(rk::vReset));
    }
    setCheckedResetButton(mode);
    int report = 0;
    {
        KeyScope key(counterDialogRegistry(), RootKey::LocalMachine, name(rk::kCounterAll), true);
        report = key->readInteger(name(rk::vReport));
    }
    CheckBox1->setChecked(report == 1);
}

void CounterDialog::Button1Click()
{
    const QDate today = platform::clock().now().date();
    ResetCounter(m_mainWindow, today.year(), today.month(), today.day(), CheckBox1->isChecked() ? 1 : 0);
}

void CounterDialog::Button5Click()
{
    const QDate today = platform::clock().now().date();
    QString error;
    if (!WriteReport(m_mainWindow, today.year(), today.month(), today.day(), &error))
        platform::messageBox(QStringLiteral("Can't write the report %1.").arg(error), caption(),
                             platform::MessageIcon::Error);
}

void CounterDialog::BitBtn3Click()
{
    const QDate today = platform::clock().now().date();
    const int checked = checkedResetButton();
    const resetdialog::CounterChoice choice =
        resetdialog::counterChoice(checked, m_mainWindow.ResetMode, m_mainWindow.ResetDay, today.day());

    {
        // The choice lands whole or not at all, and the main window takes it over only
        // once it is stored.
        platform::RegistryTransaction transaction(counterDialogRegistry().store());
        {
            KeyScope key(counterDialogRegistry(), RootKey::LocalMachine, name(rk::kCounterAll), true);
            if (choice.writesResetDay)
                key->writeInteger(name(rk::vReset14), choice.resetDay);
            key->writeInteger(name(rk::vReset), choice.resetMode);
        }
        {
            KeyScope key(counterDialogRegistry(), RootKey::LocalMachine, name(rk::kCounterAll), true);
            key->writeInteger(name(rk::vReport), CheckBox1->isChecked() ? 1 : 0);
        }
        // The budget watch works only with the monthly period, and only a monthly
        // period chosen here keeps it: a mode kept from a stored value of no button is
        // not a choice of the user's.
        if (checked != 2) {
            KeyScope key(counterDialogRegistry(), RootKey::CurrentUser, name(rk::kBudget), true);
            key->writeInteger(name(rk::vOnOff), 0);
        }
        transaction.commit();
    }
    m_mainWindow.ResetMode = choice.resetMode;
    if (choice.writesResetDay)
        m_mainWindow.ResetDay = choice.resetDay;
    done(1);
}

void CounterDialog::BitBtn2Click()
{
    done(2);
}

void CounterDialog::BitBtn1Click()
{
    platform::help().context(platform::Application::instance().helpFile(), kHelpContext);
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
