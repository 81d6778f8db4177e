#include "tools/RegTool.h"

#include <QTextStream>

#include <limits>

namespace tools {

using platform::Registry;
using platform::RegistryError;
using platform::RootKey;
using platform::ValueType;

namespace {

const char* const kNotFound = "ERROR: The system was unable to find the specified registry key or value.";

// reg accepts "/v" and "-v" alike, in any case.
QString optionName(const QString& argument)
{
    if (argument.size() < 2 || (argument[0] != QLatin1Char('/') && argument[0] != QLatin1Char('-')))
        return {};
    return argument.mid(1).toLower();
}

}  // namespace

QString regUsage()
{
    return QStringLiteral("Usage:\n"
                          "  dialtally-reg query KEY [/v NAME]\n"
                          "  dialtally-reg add KEY [/v NAME [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA]] [/f]\n"
                          "  dialtally-reg delete KEY [/v NAME | /va] [/f]\n"
                          "\n"
                          "  KEY   HKLM\\path or HKCU\\path (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER)\n"
                          "  /v    the value; query without /v lists the key's values and subkeys\n"
                          "  /va   delete every value of the key (its subkeys stay)\n"
                          "  /t    the type of the value to add (default REG_SZ)\n"
                          "  /d    the data: text for REG_SZ, a decimal or 0x hex number for REG_DWORD,\n"
                          "        hex digits for REG_BINARY (\"01000000\")\n"
                          "  /f    overwrite or delete without asking\n"
                          "\n"
                          "Exit code: 0 done, 1 failed or key/value not found, 2 bad arguments.\n");
}

QString rootName(RootKey root)
{
    return root == RootKey::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
}

bool splitRootedKey(const QString& text, RootKey& root, QString& path)
{
    const qsizetype slash = text.indexOf(QLatin1Char('\\'));
    const QString head = (slash < 0 ? text : text.left(slash)).toUpper();
    if (head == QLatin1String("HKLM") || head == QLatin1String("HKEY_LOCAL_MACHINE"))
        root = RootKey::LocalMachine;
    else if (head == QLatin1String("HKCU") || head == QLatin1String("HKEY_CURRENT_USER"))
        root = RootKey::CurrentUser;
    else
        return false;
    path = slash < 0 ? QString() : text.mid(slash + 1);
    return true;
}

QString typeName(ValueType type)
{
    switch (type) {
    case ValueType::String:
        return QStringLiteral("REG_SZ");
    case ValueType::Binary:
        return QStringLiteral("REG_BINARY");
    case ValueType::Integer:
        return QStringLiteral("REG_DWORD");
    case ValueType::None:
        break;
    }
    return QStringLiteral("REG_NONE");
}

bool parseDwordData(const QString& text, std::int32_t& value)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong number = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+')))
            return false;
        number = digits.toLongLong(&ok, 16);
    } else {
        number = t.toLongLong(&ok, 10);
    }
    if (!ok || number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::uint32_t>::max())
        return false;
    // REG_DWORD is 32 bits: 0xffffffff and -1 are one value.
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    return true;
}

bool parseBinaryData(const QString& text, QByteArray& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    for (QChar c : text)
        if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c))
            return false;
    bytes = QByteArray::fromHex(text.toLatin1());
    return true;
}

std::optional<RegCommand> parseRegArguments(const QStringList& arguments, QString& error)
{
    if (arguments.isEmpty()) {
        error = QStringLiteral("no operation given");
        return std::nullopt;
    }
    RegCommand command;
    const QString operation = arguments[0].toLower();
    if (operation == QLatin1String("query"))
        command.operation = RegCommand::Operation::Query;
    else if (operation == QLatin1String("add"))
        command.operation = RegCommand::Operation::Add;
    else if (operation == QLatin1String("delete"))
        command.operation = RegCommand::Operation::Delete;
    else {
        error = QStringLiteral("unknown operation \"%1\"").arg(arguments[0]);
        return std::nullopt;
    }
    if (arguments.size() < 2 || !optionName(arguments[1]).isEmpty()) {
        error = QStringLiteral("no key given");
        return std::nullopt;
    }
    if (!splitRootedKey(arguments[1], command.root, command.key)) {
        error = QStringLiteral("the key \"%1\" does not start with HKLM or HKCU").arg(arguments[1]);
        return std::nullopt;
    }

    using Op = RegCommand::Operation;
    std::optional<QString> typeText;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString option = optionName(arguments[i]);
        auto takeArgument = [&](std::optional<QString>& into) {
            if (into) {
                error = QStringLiteral("%1 given twice").arg(arguments[i]);
                return false;
            }
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs an argument").arg(arguments[i]);
                return false;
            }
            into = arguments[++i];
            return true;
        };
        bool ok = true;
        if (option == QLatin1String("v"))
            ok = takeArgument(command.valueName);
        else if (option == QLatin1String("va") && command.operation == Op::Delete)
            command.allValues = true;
        else if (option == QLatin1String("t") && command.operation == Op::Add)
            ok = takeArgument(typeText);
        else if (option == QLatin1String("d") && command.operation == Op::Add)
            ok = takeArgument(command.data);
        else if (option == QLatin1String("f") && command.operation != Op::Query)
            command.force = true;
        else {
            error = QStringLiteral("unexpected argument \"%1\"").arg(arguments[i]);
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }

    if (command.allValues && command.valueName) {
        error = QStringLiteral("/v and /va exclude each other");
        return std::nullopt;
    }
    if ((typeText || command.data) && !command.valueName) {
        error = QStringLiteral("/t and /d need /v");
        return std::nullopt;
    }
    if (typeText) {
        const QString t = typeText->toUpper();
        if (t == QLatin1String("REG_SZ"))
            command.type = ValueType::String;
        else if (t == QLatin1String("REG_DWORD"))
            command.type = ValueType::Integer;
        else if (t == QLatin1String("REG_BINARY"))
            command.type = ValueType::Binary;
        else {
            error = QStringLiteral("unsupported type \"%1\"").arg(*typeText);
            return std::nullopt;
        }
    }
    if (command.operation == Op::Add && command.valueName) {
        std::int32_t number = 0;
        QByteArray bytes;
        if (command.type == ValueType::Integer && (!command.data || !parseDwordData(*command.data, number))) {
            error = QStringLiteral("REG_DWORD needs /d with a 32-bit number");
            return std::nullopt;
        }
        if (command.type == ValueType::Binary && command.data && !parseBinaryData(*command.data, bytes)) {
            error = QStringLiteral("REG_BINARY data must be pairs of hex digits, e.g. 01000000");
            return std::nullopt;
        }
    }
    if (command.operation == Op::Delete && command.key.split(QLatin1Char('\\'), Qt::SkipEmptyParts).isEmpty()
        && !command.valueName && !command.allValues) {
        error = QStringLiteral("a root cannot be deleted");
        return std::nullopt;
    }
    return command;
}

namespace {

QString dataText(const Registry& registry, const QString& name)
{
    switch (registry.valueType(name)) {
    case ValueType::Integer:
        return QStringLiteral("0x") + QString::number(static_cast<std::uint32_t>(registry.readInteger(name)), 16);
    case ValueType::String:
        return registry.readString(name);
    case ValueType::Binary:
        return QString::fromLatin1(registry.readBinary(name).toHex().toUpper());
    case ValueType::None:
        break;
    }
    return {};
}

void printValue(QTextStream& out, const Registry& registry, const QString& name)
{
    out << "    " << name << "    " << typeName(registry.valueType(name)) << "    " << dataText(registry, name) << '\n';
}

QString fullName(const RegCommand& command, const Registry& registry)
{
    const QString path = registry.currentPath();
    return path.isEmpty() ? rootName(command.root) : rootName(command.root) + QLatin1Char('\\') + path;
}

int query(const RegCommand& command, Registry& registry, QTextStream& out, QTextStream& err)
{
    if (!registry.openKey(command.key, false)) {
        err << kNotFound << '\n';
        return 1;
    }
    const QString keyName = fullName(command, registry);
    if (command.valueName) {
        if (!registry.valueExists(*command.valueName)) {
            err << kNotFound << '\n';
            return 1;
        }
        // Shown as stored, whatever spelling the command used.
        QString stored = *command.valueName;
        for (const QString& name : registry.getValueNames())
            if (name.toCaseFolded() == stored.toCaseFolded())
                stored = name;
        out << keyName << '\n';
        printValue(out, registry, stored);
        return 0;
    }
    out << keyName << '\n';
    for (const QString& name : registry.getValueNames())
        printValue(out, registry, name);
    const QStringList subKeys = registry.getKeyNames();
    if (!subKeys.isEmpty())
        out << '\n';
    for (const QString& sub : subKeys)
        out << keyName << '\\' << sub << '\n';
    return 0;
}

int add(const RegCommand& command, Registry& registry, QTextStream& out, QTextStream& err,
        const std::function<bool(const QString&)>& confirm)
{
    if (!registry.openKey(command.key, true)) {
        err << "ERROR: The key could not be created.\n";
        return 1;
    }
    if (command.valueName) {
        const QString& name = *command.valueName;
        if (registry.valueExists(name) && !command.force
            && !confirm(QStringLiteral("Value %1 exists, overwrite(Yes/No)?").arg(name))) {
            out << "The operation was cancelled.\n";
            return 1;
        }
        const QString data = command.data.value_or(QString());
        switch (command.type) {
        case ValueType::Integer: {
            std::int32_t number = 0;
            parseDwordData(data, number);
            registry.writeInteger(name, number);
            break;
        }
        case ValueType::Binary: {
            QByteArray bytes;
            parseBinaryData(data, bytes);
            registry.writeBinaryData(name, bytes);
            break;
        }
        case ValueType::String:
        case ValueType::None:
            registry.writeString(name, data);
            break;
        }
    }
    out << "The operation completed successfully.\n";
    return 0;
}

int remove(const RegCommand& command, Registry& registry, QTextStream& out, QTextStream& err,
           const std::function<bool(const QString&)>& confirm)
{
    if (!registry.openKey(command.key, false)) {
        err << kNotFound << '\n';
        return 1;
    }
    const QString keyName = fullName(command, registry);
    auto confirmed = [&](const QString& question) {
        if (command.force || confirm(question))
            return true;
        out << "The operation was cancelled.\n";
        return false;
    };
    if (command.valueName) {
        if (!registry.valueExists(*command.valueName)) {
            err << kNotFound << '\n';
            return 1;
        }
        if (!confirmed(QStringLiteral("Delete the registry value %1 (Yes/No)?").arg(*command.valueName)))
            return 1;
        registry.deleteValue(*command.valueName);
    } else if (command.allValues) {
        if (!confirmed(QStringLiteral("Delete all values under the registry key %1 (Yes/No)?").arg(keyName)))
            return 1;
        // Together: a script that reads the key never sees half of it.
        platform::RegistryTransaction transaction(registry.store());
        for (const QString& name : registry.getValueNames())
            registry.deleteValue(name);
        transaction.commit();
    } else {
        if (!confirmed(QStringLiteral("Permanently delete the registry key %1 (Yes/No)?").arg(keyName)))
            return 1;
        registry.closeKey();
        if (!registry.deleteKey(command.key)) {
            err << kNotFound << '\n';
            return 1;
        }
    }
    out << "The operation completed successfully.\n";
    return 0;
}

}  // namespace

int runRegCommand(const RegCommand& command, Registry& registry, QTextStream& out, QTextStream& err,
                  const std::function<bool(const QString&)>& confirm)
{
    try {
        registry.setRootKey(command.root);
        int result = 1;
        switch (command.operation) {
        case RegCommand::Operation::Query:
            result = query(command, registry, out, err);
            break;
        case RegCommand::Operation::Add:
            result = add(command, registry, out, err, confirm);
            break;
        case RegCommand::Operation::Delete:
            result = remove(command, registry, out, err, confirm);
            break;
        }
        registry.closeKey();
        return result;
    } catch (const RegistryError& e) {
        registry.closeKey();
        err << "ERROR: " << QString::fromStdString(e.what()) << '\n';
        return 1;
    }
}

}  // namespace tools
