// The real message boxes of both programs: what they quote from outside is text.
#include "platform/gui/MessageBox.h"

#include "support/Fakes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Looks at the box that opens and closes it, as a user would read it and press Enter.
struct OpenBox {
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    bool seen = false;
};

OpenBox showAndRead(const QString& text, platform::MessageButtons buttons)
{
    OpenBox seen;
    platform::setMessageBoxes(nullptr);  // the real ones
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.format = box->textFormat();
        seen.text = box->text();
        seen.seen = true;
        box->done(QMessageBox::No);
    });
    poll.start(20);
    platform::messageBox(text, QStringLiteral("Dialtally 2.01"), platform::MessageIcon::Error, buttons,
                         platform::MessageOwner::None);
    return seen;
}

TEST(MessageBox, OutsideTextIsShownAsTextNeverAsMarkup)
{
    testing_support::TestEnvironment env;  // restores the fake boxes afterwards
    const QString texts[] = {
        QStringLiteral("Can't launch the program : <b>B</b>&amp;"),
        QStringLiteral("<html><img src=\"/etc/passwd\"><a href=\"http://x\">click</a></html>"),
        QStringLiteral("-ERR <i>mailbox</i> &lt;locked&gt;\nsecond line"),
    };
    for (const QString& text : texts) {
        for (auto buttons : {platform::MessageButtons::Ok, platform::MessageButtons::YesNo}) {
            SCOPED_TRACE(text.toStdString());
            const OpenBox box = showAndRead(text, buttons);
            ASSERT_TRUE(box.seen) << "no box opened";
            EXPECT_EQ(box.format, Qt::PlainText);
            EXPECT_EQ(box.text, text);
        }
    }
}

}  // namespace
