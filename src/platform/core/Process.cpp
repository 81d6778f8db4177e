#include "platform/core/Process.h"

#include <QProcess>

namespace platform {

namespace {

class DetachedProcesses : public Processes {
public:
    bool start(const QString& program, const QStringList& arguments) override
    {
        if (program.isEmpty())
            return false;
        return QProcess::startDetached(program, arguments);
    }
};

Processes* g_processes = nullptr;

}  // namespace

Processes& processes()
{
    static DetachedProcesses real;
    return g_processes ? *g_processes : real;
}

void setProcesses(Processes* p)
{
    g_processes = p;
}

QStringList splitCommandLine(const QString& command)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command.at(i);
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            } else if (c == QLatin1Char('\\') && quote == QLatin1Char('"') && i + 1 < command.size()
                       && (command.at(i + 1) == QLatin1Char('"') || command.at(i + 1) == QLatin1Char('\\'))) {
                word += command.at(++i);
            } else {
                word += c;
            }
            continue;
        }
        if (c.isSpace()) {
            if (inWord) {
                words << word;
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('\\') && i + 1 < command.size()) {
            word += command.at(++i);
        } else {
            word += c;
        }
    }
    if (!quote.isNull())
        return {};
    if (inWord)
        words << word;
    return words;
}

}  // namespace platform
