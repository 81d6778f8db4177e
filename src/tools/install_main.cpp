#include "tools/Install.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    auto command = tools::parseInstallArguments(app.arguments().mid(1), error);
    if (!command) {
        err << "dialtally-install: " << error << "\n\n" << tools::installUsage();
        return 2;
    }
    if (command->help) {
        out << tools::installUsage();
        return 0;
    }
    try {
        if (command->pppHooks) {
            QString user = command->user;
            // Under sudo the store to update is the one of the user who ran it.
            if (user.isEmpty())
                user = qEnvironmentVariable("SUDO_USER");
            if (user.isEmpty())
                user = platform::loginUserName();
            QString regTool = command->regTool;
            // The installed copy, not the build's: a build folder is often where the
            // user of the hooks cannot go.
            if (regTool.isEmpty()) {
                const QString& prefix = command->options.prefix;
                const QString folder = prefix.isEmpty() ? tools::programFolderOf(user) : prefix;
                regTool = QDir(QDir(folder).absolutePath()).filePath(QStringLiteral("dialtally-reg"));
            }
            for (const QString& file : tools::writePppHooks(command->pppHooksDir, user, regTool))
                out << "Wrote " << file << '\n';
            return 0;
        }
        tools::InstallOptions& options = command->options;
        if (options.buildDir.isEmpty())
            options.buildDir = QStringLiteral(DIALTALLY_DEFAULT_BUILD_DIR);
        if (options.sourceDir.isEmpty())
            options.sourceDir = QStringLiteral(DIALTALLY_DEFAULT_SOURCE_DIR);
        for (const QString& note : tools::install(options))
            out << note << '\n';
        out << "Installed into " << (options.prefix.isEmpty() ? tools::defaultProgramFolder() : options.prefix) << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << "dialtally-install: " << QString::fromStdString(e.what()) << '\n';
        return 1;
    }
}
