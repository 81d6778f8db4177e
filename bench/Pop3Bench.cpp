// One whole check cycle of Postpeek over 20 accounts of 50 messages each on a local
// Dovecot, timed beside curl doing the same TOP sweep (one curl per account, one
// connection, "TOP n 0" for every message). Not part of the test run: build the
// target Pop3CycleBench and run it by hand; it prints both figures.
#include "DovecotServer.h"
#include "Fakes.h"

#include "RegistryNames.h"
#include "MailCheckerWindow.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using platform::RootKey;
namespace rk = regkeys;

namespace {

constexpr int kAccounts = 20;
constexpr int kMessagesEach = 50;
constexpr int kRuns = 5;

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

TEST(Pop3CycleBench, TwentyAccountsOfFiftyMessages)
{
    SKIP_UNLESS_DOVECOT_INSTALLED();
    testing_support::TestEnvironment env;
    env.install();
    env.setLine(true);

    testing_support::DovecotServer server;
    QStringList users;
    for (int a = 0; a < kAccounts; ++a) {
        const QString user = QStringLiteral("bench%1").arg(a, 2, 10, QLatin1Char('0'));
        server.addUser(user, QStringLiteral("pw-") + user);
        for (int m = 1; m <= kMessagesEach; ++m) {
            server.addMessage(user, QStringLiteral("Sender %1 <sender%1@example.org>").arg(m).toUtf8(),
                              QStringLiteral("Message %1 of %2").arg(m).arg(user).toUtf8(), 2000 + 40 * m);
        }
        users << user;
    }
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    const QString email = q(rk::kEmail);
    testing_support::writeInt(RootKey::CurrentUser, email, q(rk::vOnOff), 1);
    for (const char* name : {rk::vAutoCheck, rk::vAutoMinimize, rk::vAutoClose, rk::vAutoRestore,
                             rk::vEmailSystemTray, rk::vAutoCloseProgram})
        testing_support::writeInt(RootKey::CurrentUser, email, q(name), 0);
    testing_support::writeInt(RootKey::CurrentUser, email, q(rk::vMinutes), 5);
    for (const QString& user : users) {
        const QString key = q(rk::kEmailAccounts) + QLatin1Char('\\') + user;
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountUser), user);
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountPassword), QStringLiteral("pw-") + user);
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountHost), server.host());
        testing_support::writeInt(RootKey::CurrentUser, key, q(rk::vAccountPort), server.port());
        testing_support::writeInt(RootKey::CurrentUser, key, q(rk::vAccountChecked), 1);
    }

    mailcheck::MailCheckerWindow form;
    form.handle([&] { form.startUp(); });
    ASSERT_TRUE(env.boxes.shown.empty());

    // The first cycle lets Dovecot build its indexes; both sides are timed after it.
    form.checkNow();
    ASSERT_EQ(form.messageList->topLevelItemCount(), kAccounts * kMessagesEach);

    std::vector<double> ours;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.checkNow();
        ours.push_back(timer.nsecsElapsed() / 1e6);
        ASSERT_EQ(form.messageList->topLevelItemCount(), kAccounts * kMessagesEach);
        ASSERT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('\n')).toStdString();
    }

    const int loginsBefore = static_cast<int>(server.log().count(QStringLiteral("Login: ")));
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    std::vector<double> theirs;
    if (!curl.isEmpty()) {
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            for (const QString& user : users) {
                QStringList arguments;
                const QString url = QStringLiteral("pop3://%1:%2/").arg(server.host()).arg(server.port());
                for (int m = 1; m <= kMessagesEach; ++m) {
                    if (m > 1)
                        arguments << QStringLiteral("--next");
                    arguments << QStringLiteral("-s") << QStringLiteral("--max-time") << QStringLiteral("30")
                              << QStringLiteral("-u") << user + QStringLiteral(":pw-") + user << url
                              << QStringLiteral("-X") << QStringLiteral("TOP %1 0").arg(m);
                }
                QProcess process;
                process.start(curl, arguments);
                ASSERT_TRUE(process.waitForFinished(60000));
                const QByteArray output = process.readAllStandardOutput();
                ASSERT_EQ(process.exitCode(), 0) << output.constData();
                ASSERT_EQ(output.count("Subject: "), kMessagesEach) << output.left(400).constData();
            }
            theirs.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    const int curlLogins = static_cast<int>(server.log().count(QStringLiteral("Login: "))) - loginsBefore;

    std::printf("\nOne check cycle, %d accounts x %d messages (TOP n 0 and LIST n each), median of %d runs:\n"
                "  Postpeek:  %8.1f ms (best %.1f)\n",
                kAccounts, kMessagesEach, kRuns, median(ours), *std::min_element(ours.begin(), ours.end()));
    if (!theirs.empty()) {
        std::printf("  curl:      %8.1f ms (best %.1f)  one curl per account, TOP n 0 for each message,"
                    " %d logins per sweep\n"
                    "  ratio:     %8.2f\n",
                    median(theirs), *std::min_element(theirs.begin(), theirs.end()), curlLogins / kRuns,
                    median(ours) / median(theirs));
    } else {
        std::printf("  curl:      not installed\n");
    }
}
