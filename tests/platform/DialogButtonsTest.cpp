// The closing buttons of the dialogs stay in the order the dialogs add them, whatever
// order the desktop would give a button box, with OK as the default button.
#include "platform/gui/DialogButtons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

// The order GNOME gives a button box: Help at the left, Cancel before OK.
class GnomeOrderStyle : public QProxyStyle {
public:
    GnomeOrderStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    { }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

class DialogButtonsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_style = QApplication::style()->name();
        QApplication::setStyle(new GnomeOrderStyle);
    }
    void TearDown() override { QApplication::setStyle(m_style); }

    // The captions as the user reads the row, for a readable failure.
    static std::string captionsLeftToRight(const QDialogButtonBox& box)
    {
        QList<QAbstractButton*> buttons = box.buttons();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList captions;
        for (QAbstractButton* b : buttons)
            captions << b->text();
        return captions.join(QStringLiteral(" | ")).toStdString();
    }

private:
    QString m_style;
};

TEST_F(DialogButtonsTest, OkCancelHelpKeepTheirOrderWhereTheDesktopWouldTurnItRound)
{
    for (const bool centred : {false, true}) {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        // What a bare button box would make of the same three buttons on this desktop.
        auto* plain = new QDialogButtonBox(&dialog);
        plain->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        plain->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        plain->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
        layout->addWidget(plain);
        QPushButton *ok = nullptr, *cancel = nullptr, *help = nullptr;
        platform::DialogButtons* row = platform::okCancelHelpRow(&dialog, ok, cancel, help, centred);
        layout->addWidget(row);
        dialog.resize(600, dialog.sizeHint().height());
        dialog.show();
        QCoreApplication::processEvents();

        ASSERT_EQ(captionsLeftToRight(*plain), "&Help | Cancel | OK");  // the desktop's order
        EXPECT_EQ(captionsLeftToRight(*row), "OK | Cancel | &Help") << centred;
        EXPECT_EQ(ok->objectName(), QStringLiteral("okButton"));
        EXPECT_EQ(cancel->objectName(), QStringLiteral("cancelButton"));
        EXPECT_EQ(help->objectName(), QStringLiteral("helpButton"));
        EXPECT_TRUE(ok->isDefault());
        // Centred, the row leaves room on both sides; else the buttons end at the right.
        const int left = ok->x(), right = row->width() - (help->x() + help->width());
        if (centred)
            EXPECT_LE(std::abs(left - right), 2) << left << " " << right;
        else
            EXPECT_GT(left, right + 100);
        // Only the box takes the order: its buttons are drawn as every other button.
        EXPECT_EQ(ok->style(), QApplication::style());
    }
}

// Enter runs the default button and Esc closes as the window's close button does; the
// row adds neither a second run of OK nor a close of its own to a button's click.
TEST_F(DialogButtonsTest, EnterClicksOkOnceAndNoButtonClosesTheDialogByItself)
{
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    QPushButton *ok = nullptr, *cancel = nullptr, *help = nullptr;
    layout->addWidget(platform::okCancelHelpRow(&dialog, ok, cancel, help));
    int oks = 0, rejects = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++oks; });
    QObject::connect(&dialog, &QDialog::rejected, [&] { ++rejects; });
    dialog.show();
    QCoreApplication::processEvents();

    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &enter);
    EXPECT_EQ(oks, 1);
    for (QPushButton* button : {ok, cancel, help})
        button->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(rejects, 0);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(rejects, 1);
}

}  // namespace
