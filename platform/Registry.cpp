#include "Registry.h"

#include "DesktopEntry.h"
#include "RegistryNames.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

// Marks a database as ours, so that another program's SQLite file at the same path
// is refused instead of being filled with our tables.
constexpr int kApplicationId = 0x44544C59;  // "DTLY"
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;
// Rows of the two roots; every other key hangs below one of them.
constexpr std::int64_t kCurrentUserRow = 1;
constexpr std::int64_t kLocalMachineRow = 2;

const char* const kSchemaSql =
    "CREATE TABLE keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE vals("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB,"
    " UNIQUE(key, fold));"
    "INSERT INTO keys(id, parent, name, fold) VALUES(1, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user');"
    "INSERT INTO keys(id, parent, name, fold) VALUES(2, NULL, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine');"
    "PRAGMA application_id = 1146375257;"
    "PRAGMA user_version = 1;";
static_assert(kApplicationId == 1146375257);

// The statements, kept as named constants: the cache is keyed by their address.
const char* const kFindKey = "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2";
const char* const kInsertKey = "INSERT OR IGNORE INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)";
const char* const kKeyAlive = "SELECT 1 FROM keys WHERE id = ?1";
const char* const kKeyPath =
    "WITH RECURSIVE up(id, parent, name, depth) AS ("
    " SELECT id, parent, name, 0 FROM keys WHERE id = ?1"
    " UNION ALL SELECT k.id, k.parent, k.name, up.depth + 1 FROM keys k JOIN up ON k.id = up.parent)"
    " SELECT name, parent FROM up ORDER BY depth DESC";
const char* const kDeleteSubtreeValues =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
    " DELETE FROM vals WHERE key IN (SELECT id FROM sub)";
const char* const kDeleteSubtreeKeys =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
    " DELETE FROM keys WHERE id IN (SELECT id FROM sub)";
const char* const kFindValue = "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2";
const char* const kUpsertValue =
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data";
const char* const kDeleteValue = "DELETE FROM vals WHERE key = ?1 AND fold = ?2";
const char* const kSubKeyNames = "SELECT name FROM keys WHERE parent = ?1 ORDER BY id";
const char* const kValueNames = "SELECT name FROM vals WHERE key = ?1 ORDER BY id";
const char* const kCountSubKeys = "SELECT count(*) FROM keys WHERE parent = ?1";
const char* const kCountValues = "SELECT count(*) FROM vals WHERE key = ?1";

QString fold(const QString& name)
{
    return name.toCaseFolded();
}

QStringList pathComponents(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

std::string quoted(const char* format, const QString& name)
{
    return QString::fromLatin1(format).arg(name).toStdString();
}

[[noreturn]] void failGet(const QString& name)
{
    throw RegistryError(quoted("Failed to get data for '%1'", name));
}

// The registry's own text comes first, as the user knows it; what the store or the
// system said follows, so a refused write names the file and the cause.
[[noreturn]] void failSet(const QString& name, const QString& cause = QString())
{
    QString text = QString::fromLatin1("Failed to set data for '%1'").arg(name);
    if (!cause.isEmpty())
        text += QStringLiteral(". ") + cause;
    throw RegistryError(text.toStdString());
}

[[noreturn]] void failType(const QString& name)
{
    throw RegistryError(quoted("Invalid data type for '%1'", name));
}

// Takes group and other access away from a file or folder of ours; false when its mode
// can't be read.
void makePrivate(const QByteArray& path, mode_t keep)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || info.st_uid != ::geteuid())
        return;
    const mode_t mode = info.st_mode & 07777;
    if ((mode & ~keep) != 0)
        ::chmod(path.constData(), mode & keep);
}

// An existing store is tightened when it is opened: the database keeps its owner's
// bits (a file the user made read-only stays so), and the write-ahead log and the
// shared-memory file, which only SQLite uses, follow the database: 0600 while it is
// writable. A "-shm" left read-only would otherwise keep every write failing after
// the database itself has been made writable again.
void tightenStoreFiles(const QString& file)
{
    const QByteArray db = QFile::encodeName(file);
    makePrivate(db, 0700);
    struct stat info {};
    const bool writable = ::stat(db.constData(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QByteArray side = db + suffix;
        struct stat sideInfo {};
        if (::stat(side.constData(), &sideInfo) != 0 || sideInfo.st_uid != ::geteuid())
            continue;
        if (writable)
            ::chmod(side.constData(), 0600);
        else
            makePrivate(side, 0700);
    }
}

}  // namespace

class RegistryStore {
public:
    explicit RegistryStore(const QString& file);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    sqlite3_stmt* statement(const char* sql);
    // Runs statements that return no rows; false with the error kept in lastError().
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
    sqlite3* handle() const { return m_db; }

    [[noreturn]] void fail(const QString& what) const
    {
        throw RegistryError(QStringLiteral("%1 in the registry store \"%2\": %3")
                                .arg(what, m_file, lastError())
                                .toStdString());
    }

    std::recursive_mutex mutex;
    int depth = 0;  // open RegistryTransaction scopes

private:
    void initialise();

    QString m_file;
    sqlite3* m_db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
};

namespace {

// One use of a cached statement; the reset on scope exit releases its read snapshot,
// which a statement left mid-step would otherwise hold and block checkpoints with.
class Query {
public:
    Query(RegistryStore& store, const char* sql)
        : m_stmt(store.statement(sql))
    {
    }
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

}  // namespace

RegistryStore::RegistryStore(const QString& file)
    : m_file(file)
{
    const bool existed = QFileInfo::exists(file);
    // The store holds the mail passwords: only its owner may read it. A new file is
    // made private before SQLite opens it, since SQLite gives the write-ahead log and
    // the shared-memory file the mode of the database file.
    if (!existed) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    } else {
        tightenStoreFiles(file);
    }
    const int flags = SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? lastError() : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw RegistryError(QStringLiteral("Cannot open the registry store \"%1\": %2")
                                .arg(file, reason)
                                .toStdString());
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    try {
        initialise();
    } catch (...) {
        for (auto& entry : m_statements)
            sqlite3_finalize(entry.second);
        m_statements.clear();
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

RegistryStore::~RegistryStore()
{
    for (auto& entry : m_statements)
        sqlite3_finalize(entry.second);
    sqlite3_close(m_db);
}

void RegistryStore::initialise()
{
    // Everything up to the schema check only reads, so a file that is not ours is
    // left exactly as it was.
    auto readIdentity = [this](int& applicationId, int& objects, bool& ours) {
        sqlite3_stmt* stmt = nullptr;
        const char* sql =
            "SELECT (SELECT application_id FROM pragma_application_id),"
            " (SELECT count(*) FROM sqlite_master),"
            " (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals'))";
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            return false;
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            applicationId = sqlite3_column_int(stmt, 0);
            objects = sqlite3_column_int(stmt, 1);
            ours = sqlite3_column_int(stmt, 2) == 2;
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_ROW;
    };
    auto notOurs = [this](const QString& reason) {
        throw RegistryError(QStringLiteral("The file \"%1\" is not a registry store: %2. It was left unchanged.")
                                .arg(m_file, reason)
                                .toStdString());
    };

    int applicationId = 0;
    int objects = 0;
    bool ours = false;
    if (!readIdentity(applicationId, objects, ours))
        notOurs(lastError());
    if (applicationId == kApplicationId && !ours)
        notOurs(QStringLiteral("its tables are missing"));
    if (applicationId != kApplicationId && (applicationId != 0 || objects != 0))
        notOurs(QStringLiteral("it is a database of another program"));

    // WAL lets one program read while the other writes; setting it on a database
    // that is in WAL already writes nothing.
    if (!exec("PRAGMA journal_mode = WAL"))
        fail(QStringLiteral("Cannot switch to write-ahead logging"));
    // FULL makes every commit durable: a power cut must not take back a "Bug" := 1 or
    // the start of a connection that the program had already committed.
    if (!exec("PRAGMA synchronous = FULL") || !exec("PRAGMA foreign_keys = ON"))
        fail(QStringLiteral("Cannot configure the connection"));

    if (applicationId == kApplicationId)
        return;
    // A new file: the other program may be creating it at this very moment, so look
    // again under the write lock.
    if (!exec("BEGIN IMMEDIATE"))
        fail(QStringLiteral("Cannot create the tables"));
    if (!readIdentity(applicationId, objects, ours)) {
        exec("ROLLBACK");
        fail(QStringLiteral("Cannot create the tables"));
    }
    if (applicationId == kApplicationId && ours) {
        exec("COMMIT");
        return;
    }
    if (objects != 0) {
        exec("ROLLBACK");
        notOurs(QStringLiteral("it is a database of another program"));
    }
    if (!exec(kSchemaSql) || !exec("COMMIT")) {
        const QString reason = lastError();
        exec("ROLLBACK");
        throw RegistryError(QStringLiteral("Cannot create the tables in the registry store \"%1\": %2")
                                .arg(m_file, reason)
                                .toStdString());
    }
    static_assert(kSchemaVersion == 1, "the schema text sets user_version 1");
}

sqlite3_stmt* RegistryStore::statement(const char* sql)
{
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return found->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Cannot prepare a query"));
    m_statements.emplace(sql, stmt);
    return stmt;
}

bool RegistryStore::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// ---- store access ------------------------------------------------------------------

std::shared_ptr<RegistryStore> openRegistryStore(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!QDir().mkpath(folder))
        throw RegistryError(QStringLiteral("Cannot create the folder \"%1\" of the registry store")
                                .arg(folder)
                                .toStdString());
    // The store's own folder is private; a folder given to it that holds other files
    // as well (a test's temporary folder, the user's own choice) only loses the
    // access of others.
    const QByteArray nativeFolder = QFile::encodeName(folder);
    if (!folderExisted)
        ::chmod(nativeFolder.constData(), 0700);
    else
        makePrivate(nativeFolder, 0700);
    return std::make_shared<RegistryStore>(file);
}

QString defaultRegistryFile()
{
    return xdgConfigHome() + QStringLiteral("/dialtally/registry.db");
}

namespace {
std::mutex& processStoreMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<RegistryStore>& processStoreSlot()
{
    static std::shared_ptr<RegistryStore> store;
    return store;
}
}  // namespace

std::shared_ptr<RegistryStore> processStore()
{
    std::lock_guard lock(processStoreMutex());
    auto& slot = processStoreSlot();
    if (!slot)
        slot = openRegistryStore(defaultRegistryFile());
    return slot;
}

void resetProcessStore()
{
    std::shared_ptr<RegistryStore> dropped;
    {
        std::lock_guard lock(processStoreMutex());
        dropped.swap(processStoreSlot());
    }
}

// ---- transactions ------------------------------------------------------------------

RegistryTransaction::RegistryTransaction(std::shared_ptr<RegistryStore> store)
    : m_store(std::move(store))
{
    if (!m_store)
        throw RegistryError("No registry store for a transaction");
    std::lock_guard lock(m_store->mutex);
    // The outermost scope takes the write lock at once: a read-then-write transaction
    // could otherwise find the other program's commit in between and have to fail.
    // Inner scopes are savepoints, so an inner rollback undoes only its own writes.
    const QByteArray sql = m_store->depth == 0 ? QByteArray("BEGIN IMMEDIATE")
                                               : "SAVEPOINT dialtally_" + QByteArray::number(m_store->depth);
    if (!m_store->exec(sql.constData()))
        m_store->fail(QStringLiteral("Cannot begin a transaction"));
    ++m_store->depth;
}

RegistryTransaction::~RegistryTransaction()
{
    if (m_done)
        return;
    std::lock_guard lock(m_store->mutex);
    --m_store->depth;
    if (m_store->depth == 0) {
        m_store->exec("ROLLBACK");
    } else {
        const QByteArray name = "dialtally_" + QByteArray::number(m_store->depth);
        m_store->exec(("ROLLBACK TO " + name).constData());
        m_store->exec(("RELEASE " + name).constData());
    }
}

void RegistryTransaction::commit()
{
    if (m_done)
        return;
    std::lock_guard lock(m_store->mutex);
    const int level = m_store->depth - 1;
    const QByteArray sql = level == 0 ? QByteArray("COMMIT") : "RELEASE dialtally_" + QByteArray::number(level);
    if (!m_store->exec(sql.constData()))
        m_store->fail(QStringLiteral("Cannot commit a transaction"));  // the destructor rolls back
    m_store->depth = level;
    m_done = true;
}

// ---- Registry ----------------------------------------------------------------------

namespace {

std::int64_t rootRow(RootKey root)
{
    return root == RootKey::LocalMachine ? kLocalMachineRow : kCurrentUserRow;
}

// The row of the key at path below root, 0 when it does not exist.
std::int64_t findKey(RegistryStore& store, std::int64_t root, const QStringList& components)
{
    std::int64_t row = root;
    for (const QString& component : components) {
        Query query(store, kFindKey);
        query.bind(1, row).bind(2, fold(component));
        const int rc = query.step();
        if (rc == SQLITE_DONE)
            return 0;
        if (rc != SQLITE_ROW)
            store.fail(QStringLiteral("Cannot look up the key \"%1\"").arg(components.join(QLatin1Char('\\'))));
        row = query.integer(0);
    }
    return row;
}

struct StoredValue {
    ValueType type = ValueType::None;
    std::int64_t integer = 0;
    QByteArray bytes;  // the UTF-8 text of a string, the data of a binary value
};

// False when the value does not exist; a store that cannot answer raises the read
// error, so that a broken file is not mistaken for a missing value.
bool readValue(RegistryStore& store, std::int64_t key, const QString& name, StoredValue& value)
{
    if (key == 0)
        return false;
    Query query(store, kFindValue);
    query.bind(1, key).bind(2, fold(name));
    const int rc = query.step();
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        failGet(name);
    value.type = static_cast<ValueType>(query.integer(0));
    if (value.type == ValueType::Integer)
        value.integer = query.integer(1);
    else if (!query.isNull(1))
        value.bytes = query.blob(1);
    return true;
}

}  // namespace

Registry::Registry()
    : m_followProcessStore(true)
{
}

Registry::Registry(std::shared_ptr<RegistryStore> store)
    : m_store(std::move(store))
{
}

Registry::~Registry() = default;

std::shared_ptr<RegistryStore> Registry::store() const
{
    // An object working on the process store follows it to a new file (tests change
    // XDG_CONFIG_HOME) whenever no key of the old one is open.
    if (m_followProcessStore && m_key == 0)
        m_store = processStore();
    if (!m_store)
        throw RegistryError("No registry store");
    return m_store;
}

void Registry::setRootKey(RootKey root)
{
    if (root != m_root)
        closeKey();
    m_root = root;
}

std::shared_ptr<RegistryStore> Registry::storeForPath() const
{
    // Paths are absolute, so an object on the process store may switch to a new one
    // here even while it has a key of the old one open.
    return m_followProcessStore ? processStore() : store();
}

bool Registry::openKey(const QString& path, bool canCreate)
{
    const auto current = storeForPath();
    RegistryStore& db = *current;
    std::lock_guard lock(db.mutex);
    const QStringList components = pathComponents(path);
    // Looking first keeps opening an existing key free of writes, so the tick of one
    // program never waits for the other's write lock just to read.
    std::int64_t row = findKey(db, rootRow(m_root), components);
    if (row == 0 && canCreate) {
        // Why the key could not be made, for the error of a write that follows.
        const auto refused = [&] {
            m_openFailure = db.failureCause();
            return false;
        };
        try {
            RegistryTransaction transaction(current);
            row = rootRow(m_root);
            for (const QString& component : components) {
                Query insert(db, kInsertKey);
                insert.bind(1, row).bind(2, component).bind(3, fold(component));
                if (insert.step() != SQLITE_DONE)
                    return refused();
                row = findKey(db, row, {component});
                if (row == 0)
                    return refused();
            }
            transaction.commit();
        } catch (const RegistryError& error) {
            m_openFailure = QString::fromUtf8(error.what());
            return false;
        }
    }
    if (row == 0)
        return false;
    m_store = current;
    m_key = row;
    m_openFailure.clear();
    return true;
}

void Registry::closeKey()
{
    m_key = 0;
    m_openFailure.clear();
}

QString Registry::currentPath() const
{
    if (m_key == 0)
        return {};
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    Query query(db, kKeyPath);
    query.bind(1, m_key);
    QStringList names;
    bool reachedRoot = false;
    while (query.step() == SQLITE_ROW) {
        if (query.isNull(1))
            reachedRoot = true;  // the root row itself is no part of the path
        else
            names << query.text(0);
    }
    return reachedRoot ? names.join(QLatin1Char('\\')) : QString();
}

bool Registry::keyExists(const QString& path) const
{
    const auto current = storeForPath();
    RegistryStore& db = *current;
    std::lock_guard lock(db.mutex);
    return findKey(db, rootRow(m_root), pathComponents(path)) != 0;
}

bool Registry::deleteKey(const QString& path)
{
    const auto current = storeForPath();
    RegistryStore& db = *current;
    std::lock_guard lock(db.mutex);
    const QStringList components = pathComponents(path);
    // An empty path names the root: deleting it would wipe the whole hive.
    if (components.isEmpty())
        return false;
    RegistryTransaction transaction(current);
    const std::int64_t row = findKey(db, rootRow(m_root), components);
    if (row == 0)
        return false;
    // Deleting the "Run" key or one above it deletes its value too.
    const QStringList run = pathComponents(QString::fromLatin1(regkeys::kRun));
    bool holdsRun = m_root == RootKey::LocalMachine && components.size() <= run.size();
    for (qsizetype i = 0; holdsRun && i < components.size(); ++i)
        holdsRun = fold(components[i]) == fold(run[i]);
    for (const char* sql : {kDeleteSubtreeValues, kDeleteSubtreeKeys}) {
        Query query(db, sql);
        query.bind(1, row);
        if (query.step() != SQLITE_DONE)
            db.fail(QStringLiteral("Cannot delete the key \"%1\"").arg(components.join(QLatin1Char('\\'))));
    }
    if (holdsRun)
        mirrorAutostartEntry(QString());
    transaction.commit();
    return true;
}

bool Registry::valueExists(const QString& name) const
{
    return valueType(name) != ValueType::None;
}

ValueType Registry::valueType(const QString& name) const
{
    if (m_key == 0)
        return ValueType::None;
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    StoredValue value;
    return readValue(db, m_key, name, value) ? value.type : ValueType::None;
}

std::int32_t Registry::readInteger(const QString& name) const
{
    if (m_key == 0)
        failGet(name);
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    StoredValue value;
    if (!readValue(db, m_key, name, value))
        failGet(name);
    if (value.type != ValueType::Integer)
        failType(name);
    return static_cast<std::int32_t>(value.integer);
}

namespace {

void writeValue(RegistryStore& db, std::int64_t key, const QString& name, ValueType type,
                const std::function<void(Query&)>& bindData)
{
    if (key == 0)
        failSet(name);
    std::lock_guard lock(db.mutex);
    Query query(db, kUpsertValue);
    query.bind(1, key).bind(2, name).bind(3, fold(name)).bind(4, static_cast<std::int64_t>(type));
    bindData(query);
    // A key deleted meanwhile fails its foreign key here.
    if (query.step() != SQLITE_DONE)
        failSet(name, db.failureCause());
}

}  // namespace

bool Registry::holdsAutostartValue(const QString& name) const
{
    if (m_root != RootKey::LocalMachine || m_key == 0 || fold(name) != fold(QString::fromLatin1(regkeys::vAutostart)))
        return false;
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    return findKey(db, kLocalMachineRow, pathComponents(QString::fromLatin1(regkeys::kRun))) == m_key;
}

void Registry::writeMirrored(const QString& name, const QString& command, const std::function<void()>& write)
{
    if (!holdsAutostartValue(name)) {
        write();
        return;
    }
    // The desktop's autostart entry follows the "Run" value: both change or neither.
    // A value of another type than text is no command, and starts nothing.
    RegistryTransaction transaction(store());
    write();
    mirrorAutostartEntry(command);
    transaction.commit();
}

void Registry::writeInteger(const QString& name, std::int32_t value)
{
    if (m_key == 0)
        failSet(name, m_openFailure);
    writeMirrored(name, QString(), [&] {
        writeValue(*store(), m_key, name, ValueType::Integer, [value](Query& q) { q.bind(5, std::int64_t(value)); });
    });
}

QString Registry::readString(const QString& name) const
{
    if (m_key == 0)
        return {};
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    StoredValue value;
    if (!readValue(db, m_key, name, value))
        return {};
    if (value.type != ValueType::String)
        failType(name);
    return QString::fromUtf8(value.bytes);
}

void Registry::writeString(const QString& name, const QString& value)
{
    if (m_key == 0)
        failSet(name, m_openFailure);
    writeMirrored(name, value, [&] {
        writeValue(*store(), m_key, name, ValueType::String, [&value](Query& q) { q.bind(5, value); });
    });
}

QByteArray Registry::readBinary(const QString& name) const
{
    if (m_key == 0)
        return {};
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    StoredValue value;
    if (!readValue(db, m_key, name, value))
        return {};
    if (value.type != ValueType::Binary)
        failType(name);
    return value.bytes;
}

int Registry::readBinaryData(const QString& name, void* buffer, int size) const
{
    const QByteArray data = readBinary(name);
    if (data.size() > size)
        failType(name);
    if (!data.isEmpty())
        std::memcpy(buffer, data.constData(), static_cast<size_t>(data.size()));
    return static_cast<int>(data.size());
}

void Registry::writeBinaryData(const QString& name, const QByteArray& data)
{
    if (m_key == 0)
        failSet(name, m_openFailure);
    writeMirrored(name, QString(), [&] {
        writeValue(*store(), m_key, name, ValueType::Binary, [&data](Query& q) { q.bindBlob(5, data); });
    });
}

bool Registry::deleteValue(const QString& name)
{
    if (m_key == 0)
        return false;
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    bool deleted = false;
    writeMirrored(name, QString(), [&] {
        Query query(db, kDeleteValue);
        query.bind(1, m_key).bind(2, fold(name));
        if (query.step() != SQLITE_DONE)
            throw RegistryError(quoted("Failed to delete the value '%1'", name));
        deleted = sqlite3_changes(db.handle()) > 0;
    });
    return deleted;
}

bool Registry::getKeyInfo(KeyInfo& info) const
{
    if (m_key == 0)
        return false;
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    // While the first query is still stepping, the counts read the same snapshot, so
    // they describe one moment even while the other program writes.
    Query alive(db, kKeyAlive);
    alive.bind(1, m_key);
    if (alive.step() != SQLITE_ROW)
        return false;
    Query subKeys(db, kCountSubKeys);
    subKeys.bind(1, m_key);
    Query values(db, kCountValues);
    values.bind(1, m_key);
    if (subKeys.step() != SQLITE_ROW || values.step() != SQLITE_ROW)
        return false;
    info.numSubKeys = static_cast<int>(subKeys.integer(0));
    info.numValues = static_cast<int>(values.integer(0));
    return true;
}

namespace {
QStringList names(RegistryStore& db, const char* sql, std::int64_t key)
{
    QStringList result;
    if (key == 0)
        return result;
    std::lock_guard lock(db.mutex);
    Query query(db, sql);
    query.bind(1, key);
    int rc;
    while ((rc = query.step()) == SQLITE_ROW)
        result << query.text(0);
    if (rc != SQLITE_DONE)
        db.fail(QStringLiteral("Cannot list the names of a key"));
    return result;
}
}  // namespace

QStringList Registry::getKeyNames() const
{
    if (m_key == 0)
        return {};
    return names(*store(), kSubKeyNames, m_key);
}

QStringList Registry::getValueNames() const
{
    if (m_key == 0)
        return {};
    return names(*store(), kValueNames, m_key);
}

// ---- the log-on user ---------------------------------------------------------------

QString loginUserName()
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name
        && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

void recordLogOnUser(Registry& registry)
{
    registry.setRootKey(RootKey::LocalMachine);
    if (!registry.openKey(regkeys::kControl, true))
        failSet(QString::fromLatin1(regkeys::vCurrentUser), registry.openFailure());
    const QString name = loginUserName();
    // With no name at all, no value is what Windows showed for its "Default" user.
    if (name.isEmpty())
        registry.deleteValue(regkeys::vCurrentUser);
    else
        registry.writeString(regkeys::vCurrentUser, name);
    registry.closeKey();
}

}  // namespace platform
