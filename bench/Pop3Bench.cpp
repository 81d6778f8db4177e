// Whole check cycles of Postpeek on a local Dovecot, each timed beside python's
// poplib doing the same sweep (bench/poplib_sweep.py: USER, PASS, STAT, TOP n 0 and
// LIST n for every message, QUIT) and, where it is installed, curl (one curl per
// account, one connection, TOP n 0 for every message). The runs of the programs
// alternate, so a change in the machine's load falls on both. Several sizes, so the
// time per message shows whether the cycle stays linear in accounts x messages.
// Not part of the test run: build the target Pop3CycleBench and run it by hand.
#include "support/DovecotServer.h"
#include "support/Fakes.h"

#include "common/RegistryNames.h"
#include "postpeek/gui/MailCheckerWindow.h"

#include <QElapsedTimer>
#include <QFile>
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

constexpr int kRuns = 5;

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

struct Size {
    int accounts;
    int messages;
};

class Pop3CycleBench : public ::testing::TestWithParam<Size> { };

}  // namespace

TEST_P(Pop3CycleBench, CheckCycleBesidePoplib)
{
    SKIP_UNLESS_DOVECOT_INSTALLED();
    const Size size = GetParam();
    testing_support::TestEnvironment env;
    env.install();
    env.setLine(true);

    testing_support::DovecotServer server;
    QStringList users;
    for (int a = 0; a < size.accounts; ++a) {
        const QString user = QStringLiteral("bench%1").arg(a, 2, 10, QLatin1Char('0'));
        server.addUser(user, QStringLiteral("pw-") + user);
        for (int m = 1; m <= size.messages; ++m) {
            // Some senders and subjects as mail has them today: encoded words, a folded line.
            QByteArray from = QStringLiteral("Sender %1 <sender%1@example.org>").arg(m).toUtf8();
            QByteArray subject = QStringLiteral("Message %1 of %2").arg(m).arg(user).toUtf8();
            if (m % 5 == 0)
                from = "=?UTF-8?B?SsO2cmcgTcO8bGxlcg==?= <joerg@example.org>";
            if (m % 7 == 0)
                subject = "=?ISO-8859-1?Q?R=E9sum=E9_of_the_week?= and\r\n the folded rest of it";
            server.addMessage(user, from, subject, 2000 + 40 * m);
        }
        users << user;
    }
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    const QString email = q(rk::kEmail);
    testing_support::writeInt(RootKey::CurrentUser, email, q(rk::vOnOff), 1);
    for (const char* name : {rk::vAutoCheck, rk::vAutoMinimize, rk::vAutoClose, rk::vAutoRestore, rk::vEmailSystemTray,
                             rk::vAutoCloseProgram})
        testing_support::writeInt(RootKey::CurrentUser, email, q(name), 0);
    testing_support::writeInt(RootKey::CurrentUser, email, q(rk::vMinutes), 5);
    QStringList logins;
    for (const QString& user : users) {
        const QString key = q(rk::kEmailAccounts) + QLatin1Char('\\') + user;
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountUser), user);
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountPassword), QStringLiteral("pw-") + user);
        testing_support::writeStr(RootKey::CurrentUser, key, q(rk::vAccountHost), server.host());
        testing_support::writeInt(RootKey::CurrentUser, key, q(rk::vAccountPort), server.port());
        testing_support::writeInt(RootKey::CurrentUser, key, q(rk::vAccountChecked), 1);
        logins << user + QStringLiteral(":pw-") + user;
    }
    const int total = size.accounts * size.messages;

    postpeek::MailCheckerWindow form;
    form.handle([&] { form.startUp(); });
    form.show();
    ASSERT_TRUE(env.boxes.shown.empty());
    const auto* messages = form.findChild<QTreeWidget*>(QStringLiteral("messageList"));
    ASSERT_NE(messages, nullptr);

    // The first cycle lets Dovecot build its indexes; every program is timed after it.
    form.checkNow();
    ASSERT_EQ(messages->topLevelItemCount(), total);

    const QString script = QStringLiteral(DIALTALLY_BENCH_DIR "/poplib_sweep.py");
    // For a profile of Postpeek alone, DIALTALLY_BENCH_POSTPEEK_ONLY=1 leaves the others out.
    const bool alone = qEnvironmentVariableIntValue("DIALTALLY_BENCH_POSTPEEK_ONLY") != 0;
    const QString python = alone ? QString() : QStandardPaths::findExecutable(QStringLiteral("python3"));
    const QString curl = alone ? QString() : QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString loadBefore = loadAverage();

    std::vector<double> ours;
    std::vector<double> poplib;
    std::vector<double> curls;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.checkNow();
        ours.push_back(timer.nsecsElapsed() / 1e6);
        ASSERT_EQ(messages->topLevelItemCount(), total);
        ASSERT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('\n')).toStdString();

        if (!python.isEmpty()) {
            QProcess process;
            process.start(python,
                          QStringList{script, server.host(), QString::number(server.port()), QStringLiteral("1")}
                              + logins);
            ASSERT_TRUE(process.waitForFinished(300000));
            const QStringList output = QString::fromLatin1(process.readAllStandardOutput()).split(QLatin1Char('\n'));
            ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
            ASSERT_EQ(output.value(1).toInt(), total);
            poplib.push_back(output.value(0).toDouble());
        }

        if (!curl.isEmpty()) {
            timer.restart();
            for (const QString& login : logins) {
                QStringList arguments;
                const QString url = QStringLiteral("pop3://%1:%2/").arg(server.host()).arg(server.port());
                for (int m = 1; m <= size.messages; ++m) {
                    if (m > 1)
                        arguments << QStringLiteral("--next");
                    arguments << QStringLiteral("-s") << QStringLiteral("--max-time") << QStringLiteral("30")
                              << QStringLiteral("-u") << login << url << QStringLiteral("-X")
                              << QStringLiteral("TOP %1 0").arg(m);
                }
                QProcess process;
                process.start(curl, arguments);
                ASSERT_TRUE(process.waitForFinished(120000));
                ASSERT_EQ(process.exitCode(), 0);
                ASSERT_EQ(process.readAllStandardOutput().count("Subject: "), size.messages);
            }
            curls.push_back(timer.nsecsElapsed() / 1e6);
        }
    }

    std::printf("\nOne check cycle, %d accounts x %d messages, median of %d runs (load before %s, after %s):\n"
                "  Postpeek: %8.1f ms (best %.1f), %.3f ms a message\n",
                size.accounts, size.messages, kRuns, qPrintable(loadBefore), qPrintable(loadAverage()), median(ours),
                *std::min_element(ours.begin(), ours.end()), median(ours) / total);
    if (!poplib.empty())
        std::printf("  poplib:   %8.1f ms (best %.1f), %.3f ms a message; Postpeek / poplib %.2f\n", median(poplib),
                    *std::min_element(poplib.begin(), poplib.end()), median(poplib) / total,
                    median(ours) / median(poplib));
    else
        std::printf("  poplib:   python3 not installed\n");
    if (!curls.empty())
        std::printf("  curl:     %8.1f ms (best %.1f), one curl per account; Postpeek / curl %.2f\n", median(curls),
                    *std::min_element(curls.begin(), curls.end()), median(ours) / median(curls));
    else
        std::printf("  curl:     not installed\n");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Pop3CycleBench, ::testing::Values(Size{5, 50}, Size{20, 50}, Size{20, 200}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                             return "Accounts" + std::to_string(info.param.accounts) + "x"
                                    + std::to_string(info.param.messages);
                         });
