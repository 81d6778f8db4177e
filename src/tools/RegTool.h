// dialtally-reg: the registry store from the command line, in the manner of the
// Windows "reg" tool, so that scripts (the pppd hooks) and users can read and set the
// values both programs share.
#pragma once

#include "platform/core/Registry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTextStream;

namespace tools {

// How long the tool waits for another program's lock on the store. The pppd hooks run
// it at every line change, and pppd waits for them; a change that is lost leaves
// Dialtally counting a connection that ended, so the tool rather waits out any write
// a program makes (a dialog's OK, a counter reset) than give up.
inline constexpr int kRegToolBusyTimeoutMs = 5 * 60 * 1000;

struct RegCommand {
    enum class Operation { Query, Add, Delete };
    Operation operation = Operation::Query;
    platform::RootKey root = platform::RootKey::LocalMachine;
    QString key;  // path below the root, backslashes kept
    std::optional<QString> valueName;  // /v
    bool allValues = false;  // /va (delete)
    platform::ValueType type = platform::ValueType::String;  // /t (add)
    std::optional<QString> data;  // /d (add)
    bool force = false;  // /f
};

// Reads the command line without the program name. On bad arguments returns nothing
// and sets error to the reason.
std::optional<RegCommand> parseRegArguments(const QStringList& arguments, QString& error);
QString regUsage();

// "HKLM\Software\Dialtally" -> root and "Software\Dialtally"; false for an unknown root.
bool splitRootedKey(const QString& text, platform::RootKey& root, QString& path);
QString rootName(platform::RootKey root);

// The text of /d as the store keeps it. REG_DWORD: decimal or 0x hex, unsigned
// 32-bit or negative; REG_BINARY: an even number of hex digits.
bool parseDwordData(const QString& text, std::int32_t& value);
bool parseBinaryData(const QString& text, QByteArray& bytes);
QString typeName(platform::ValueType type);

// Runs a parsed command against the store; returns the exit code (0 done, 1 failed or
// cancelled). confirm asks before a value is overwritten or something is deleted,
// unless the command has /f.
int runRegCommand(const RegCommand& command, platform::Registry& registry, QTextStream& out, QTextStream& err,
                  const std::function<bool(const QString& question)>& confirm);

}  // namespace tools
