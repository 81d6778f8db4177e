#include "tools/RegTool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (arguments.size() == 1 && QStringList({"/?", "-h", "--help"}).contains(arguments[0])) {
        out << tools::regUsage();
        return 0;
    }
    QString error;
    const auto command = tools::parseRegArguments(arguments, error);
    if (!command) {
        err << "dialtally-reg: " << error << "\n\n" << tools::regUsage();
        return 2;
    }
    platform::setRegistryBusyTimeout(tools::kRegToolBusyTimeoutMs);
    // A hook that found no store and made an empty one would hide that the user's
    // store is gone, and the programs would carry on with a line no one sets.
    platform::setProcessStoreOpening(platform::StoreOpening::ExistingOnly);
    platform::Registry registry;
    QTextStream in(stdin);
    return tools::runRegCommand(*command, registry, out, err, [&](const QString& question) {
        out << question << ' ';
        out.flush();
        // No answer (stdin closed, a script) cancels, as a "No" would.
        return in.readLine().trimmed().startsWith(QLatin1Char('y'), Qt::CaseInsensitive);
    });
}
