// The SQLite file behind the settings store: the connection, its cached statements,
// the lock that the access objects and transactions of one process share, and the
// rows of the two roots. Only the store's own sources use it; the programs see the
// store through Registry.h.
#pragma once

#include "platform/core/Registry.h"

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <sys/types.h>

namespace platform {

// Rows of the two roots; every other key hangs below one of them.
inline constexpr std::int64_t kCurrentUserRow = 1;
inline constexpr std::int64_t kLocalMachineRow = 2;

class RegistryStore {
public:
    RegistryStore(const QString& file, StoreOpening opening);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    sqlite3_stmt* statement(const char* sql);
    std::optional<StoreGeneration> generation();
    std::int64_t writesSoFar() const { return sqlite3_total_changes64(m_db); }
    // Runs statements that return no rows; false with the error kept in lastError().
    bool switchToWriteAheadLog();
    bool exec(const char* sql);
    // SQLite's reason, with the system's where the failure came from a file access
    // ("attempt to write a readonly database (Permission denied)").
    QString lastError() const
    {
        QString reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        const int code = sqlite3_system_errno(m_db);
        if (code != 0 && !reason.contains(QString::fromLocal8Bit(std::strerror(code))))
            reason += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(code)));
        return reason;
    }
    // The file and the reason of the last failure, for the registry's error texts.
    QString failureCause() const { return QStringLiteral("Registry store \"%1\": %2").arg(m_file, lastError()); }
    const QString& file() const { return m_file; }
    // Whether the path no longer names the file this connection opened.
    bool fileVanished() const;
    sqlite3* handle() const { return m_db; }

    // Whether the last failure was another connection's lock.
    bool busy() const
    {
        const int code = sqlite3_errcode(m_db) & 0xff;
        return code == SQLITE_BUSY || code == SQLITE_LOCKED;
    }
    int busyTimeout() const { return m_busyTimeoutMs; }
    void setBusyTimeout(int milliseconds)
    {
        m_busyTimeoutMs = milliseconds;
        sqlite3_busy_timeout(m_db, milliseconds);
    }

    // Raises the failure, as RegistryBusy when the store was locked.
    [[noreturn]] void fail(const QString& what) const
    {
        raise(QStringLiteral("%1 in the registry store \"%2\": %3").arg(what, m_file, lastError()));
    }
    [[noreturn]] void raise(const QString& text) const
    {
        if (busy())
            throw RegistryBusy(text.toStdString());
        throw RegistryError(text.toStdString());
    }

    std::recursive_mutex mutex;
    int depth = 0;  // open RegistryTransaction scopes

private:
    void initialise();

    QString m_file;
    // The file SQLite opened, by device and inode, to notice when the path names
    // another file or none.
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::uint64_t m_serial = 0;
    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = kDefaultBusyTimeoutMs;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
};

// One use of a cached statement; the reset on scope exit releases its read snapshot,
// which a statement left mid-step would otherwise hold and block checkpoints with.
class Query {
public:
    Query(RegistryStore& store, const char* sql)
        : m_stmt(store.statement(sql))
    { }
    ~Query()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Query& bind(int index, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Query& bindBlob(int index, const QByteArray& data)
    {
        // A null pointer would store NULL; an empty value is still a value.
        static const char empty = 0;
        sqlite3_bind_blob(m_stmt, index, data.isEmpty() ? &empty : data.constData(), int(data.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(m_stmt); }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    QString text(int column) const
    {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
    }
    QByteArray blob(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt* m_stmt;
};

}  // namespace platform
