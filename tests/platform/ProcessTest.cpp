#include "platform/core/Process.h"

#include <gtest/gtest.h>

TEST(SplitCommandLine, SplitsLikeAShellWithoutRunningOne)
{
    struct Case {
        QString command;
        QStringList words;
    };
    const Case cases[] = {
        {QStringLiteral("firefox"), {QStringLiteral("firefox")}},
        {QStringLiteral("  /usr/bin/xterm   -e  top "), {"/usr/bin/xterm", "-e", "top"}},
        {QStringLiteral("\"/opt/My Mail/mail\" --check"), {"/opt/My Mail/mail", "--check"}},
        {QStringLiteral("'/opt/a b/c' 'x\"y'"), {"/opt/a b/c", "x\"y"}},
        {QStringLiteral("/opt/a\\ b/c"), {"/opt/a b/c"}},
        {QStringLiteral("echo \"say \\\"hi\\\"\""), {"echo", "say \"hi\""}},
        {QStringLiteral("rm -rf ~; reboot"), {"rm", "-rf", "~;", "reboot"}},  // no shell: just words
        {QStringLiteral("\"unbalanced"), {}},
        {QString(), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::splitCommandLine(c.command), c.words) << c.command.toStdString();
}
