#include "support/Fakes.h"

#include "common/RegistryNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace testing_support {

using platform::Registry;
using platform::RootKey;

platform::Answer FakeMessageBoxes::show(const platform::MessageRequest& request)
{
    shown.push_back(request);
    if (whileOpen)
        whileOpen(request);
    if (request.buttons == platform::MessageButtons::Ok)
        return platform::Answer::Ok;
    if (m_answers.empty())
        return platform::Answer::Yes;
    const platform::Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QStringList FakeMessageBoxes::texts() const
{
    QStringList result;
    for (const auto& box : shown)
        result << box.text;
    return result;
}

bool FakeTray::add(const QIcon&)
{
    ++adds;
    if (!available || m_exists)
        return false;
    m_exists = true;
    return true;
}

bool FakeTray::modify(const QString& tip, const QIcon&)
{
    ++modifies;
    if (!m_exists)
        return false;
    m_tip = platform::cutTrayTip(tip);
    return true;
}

bool FakeTray::remove()
{
    ++removes;
    const bool existed = m_exists;
    m_exists = false;
    m_tip.clear();
    return existed;
}

TestEnvironment::TestEnvironment()
{
    platform::setMessageBoxes(&boxes);
    platform::setHelp(&help);
    platform::setTrayIcon(&tray);
    platform::setTaskbarButton(&taskbar);
    platform::Application::instance().reset();
}

TestEnvironment::~TestEnvironment()
{
    platform::Application::instance().reset();
    platform::setMessageBoxes(nullptr);
    platform::setHelp(nullptr);
    platform::setTrayIcon(nullptr);
    platform::setTaskbarButton(nullptr);
}

QString desktopEntryProblems(const QString& file)
{
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {file});
    if (!validate.waitForFinished(30000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
    if (validate.exitStatus() != QProcess::NormalExit || validate.exitCode() != 0)
        return output.isEmpty() ? QStringLiteral("desktop-file-validate failed on ") + file : output;
    return output;
}

QString desktopEntryField(const QString& file, const QString& key)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("<no entry>");
    for (const QString& line : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    return QStringLiteral("<no %1>").arg(key);
}

}  // namespace testing_support

namespace testing_support {

void showRaisedMessages()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

}  // namespace testing_support
