#include "platform/core/RegistryStore.h"

#include "platform/core/DesktopEntry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Marks a database as ours, so that another program's SQLite file at the same path
// is refused instead of being filled with our tables.
constexpr int kApplicationId = 0x44544C59;  // "DTLY"
constexpr int kSchemaVersion = 1;

std::atomic<int>& busyTimeoutForNewStores()
{
    static std::atomic<int> milliseconds{kDefaultBusyTimeoutMs};
    return milliseconds;
}

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


// Takes group and other access away from a file or folder of ours; false when its mode
// can't be read.
void makePrivate(const QByteArray& path, mode_t keep)
{
    struct stat info { };
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
    struct stat info { };
    const bool writable = ::stat(db.constData(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QByteArray side = db + suffix;
        struct stat sideInfo { };
        if (::stat(side.constData(), &sideInfo) != 0 || sideInfo.st_uid != ::geteuid())
            continue;
        if (writable)
            ::chmod(side.constData(), 0600);
        else
            makePrivate(side, 0700);
    }
}

// A store's file that was deleted leaves its write-ahead log and shared-memory file
// behind, and SQLite would take them for the new file's: the log's pages would be
// played into the new store, and a program still at work on the deleted file would
// share its index with it. Called only once this process has made the new file
// itself, so no other store lives at this path whose files these could be.
void clearLeftoversOfAnEarlierStore(const QByteArray& db)
{
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QByteArray side = db + suffix;
        ::unlink(side.constData());
    }
}

// Why the folder or the file of a store can't be written, empty when both can: a
// store in write-ahead logging needs to make its shared-memory file beside it even to
// read.
QString unwritableReason(const QString& file)
{
    const auto deniedWhy = [](const QString& path) -> QString {
        if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0)
            return {};
        return QString::fromLocal8Bit(std::strerror(errno));
    };
    const QString folder = QFileInfo(file).absolutePath();
    if (const QString why = deniedWhy(folder); !why.isEmpty())
        return QStringLiteral("the folder \"%1\" can't be written (%2)").arg(folder, why);
    if (const QString why = deniedWhy(file); !why.isEmpty())
        return QStringLiteral("the file can't be written (%1)").arg(why);
    return {};
}

}  // namespace

QString missingStoreText(const QString& file)
{
    return QStringLiteral("The registry store \"%1\" does not exist. Run dialtally-install to make it.").arg(file);
}

RegistryStore::RegistryStore(const QString& file, StoreOpening opening)
    : m_file(file)
{
    static std::atomic<std::uint64_t> stores{0};
    m_serial = ++stores;
    const QByteArray native = QFile::encodeName(file);
    const bool existed = QFileInfo::exists(file);
    if (!existed && opening == StoreOpening::ExistingOnly)
        throw RegistryError(missingStoreText(file).toStdString());
    // The store holds the mail passwords: only its owner may read it. A new file is
    // made private before SQLite opens it, since SQLite gives the write-ahead log and
    // the shared-memory file the mode of the database file.
    if (!existed) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            clearLeftoversOfAnEarlierStore(native);
        }
    } else {
        tightenStoreFiles(file);
    }
    const int flags = SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? lastError() : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        // Deleted between the look above and the open.
        if (opening == StoreOpening::ExistingOnly && !QFileInfo::exists(file))
            throw RegistryError(missingStoreText(file).toStdString());
        throw RegistryError(
            QStringLiteral("Cannot open the registry store \"%1\": %2").arg(file, reason).toStdString());
    }
    struct stat identity { };
    if (::stat(native.constData(), &identity) == 0) {
        m_device = identity.st_dev;
        m_inode = identity.st_ino;
    }
    sqlite3_extended_result_codes(m_db, 1);
    setBusyTimeout(busyTimeoutForNewStores());
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

bool RegistryStore::fileVanished() const
{
    if (m_inode == 0)
        return false;
    struct stat now { };
    if (::stat(QFile::encodeName(m_file).constData(), &now) != 0)
        return errno == ENOENT || errno == ENOTDIR;
    return now.st_dev != m_device || now.st_ino != m_inode;
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
        const char* sql = "SELECT (SELECT application_id FROM pragma_application_id),"
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
    if (!readIdentity(applicationId, objects, ours)) {
        // Only a file that SQLite itself finds no database is blamed; a store that
        // can't be read because its folder or the file can't be written is a good
        // file, and the user must not be invited to delete it.
        const int code = sqlite3_errcode(m_db) & 0xff;
        if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT) {
            const QString unwritable = unwritableReason(m_file);
            if (!unwritable.isEmpty())
                throw RegistryError(QStringLiteral("The registry store \"%1\" cannot be written: %2. It was left "
                                                   "unchanged.")
                                        .arg(m_file, unwritable)
                                        .toStdString());
            raise(QStringLiteral("Cannot read the registry store \"%1\": %2").arg(m_file, lastError()));
        }
        notOurs(lastError());
    }
    if (applicationId == kApplicationId && !ours)
        notOurs(QStringLiteral("its tables are missing"));
    if (applicationId != kApplicationId && (applicationId != 0 || objects != 0))
        notOurs(QStringLiteral("it is a database of another program"));

    // WAL lets one program read while the other writes; setting it on a database
    // that is in WAL already writes nothing.
    if (!switchToWriteAheadLog())
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

std::optional<StoreGeneration> RegistryStore::generation()
{
    static const char* const kDataVersion = "PRAGMA data_version";
    std::lock_guard lock(mutex);
    try {
        Query query(*this, kDataVersion);
        if (query.step() != SQLITE_ROW)
            return std::nullopt;
        return StoreGeneration{m_serial, query.integer(0), writesSoFar()};
    } catch (const RegistryError&) {
        return std::nullopt;
    }
}

bool RegistryStore::switchToWriteAheadLog()
{
    // A new file goes to the log under its exclusive lock, and SQLite does not wait
    // for that lock while another program holds the file's write lock, making the same
    // store this moment: wait here as long as for any other lock.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int rc = sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return true;
        const int primary = rc & 0xff;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || waited.elapsed() >= m_busyTimeoutMs)
            return false;
        ::usleep(10000);
    }
}

bool RegistryStore::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// ---- store access ------------------------------------------------------------------

void setRegistryBusyTimeout(int milliseconds)
{
    busyTimeoutForNewStores() = milliseconds;
}

BriefStoreWait::BriefStoreWait(std::shared_ptr<RegistryStore> store, int milliseconds)
    : m_store(std::move(store))
    , m_previous(m_store ? m_store->busyTimeout() : 0)
{
    if (m_store) {
        std::lock_guard lock(m_store->mutex);
        m_store->setBusyTimeout(std::min(milliseconds, m_previous));
    }
}

BriefStoreWait::~BriefStoreWait()
{
    if (m_store) {
        std::lock_guard lock(m_store->mutex);
        m_store->setBusyTimeout(m_previous);
    }
}

std::shared_ptr<RegistryStore> openRegistryStore(const QString& file, StoreOpening opening)
{
    // Not even the folder is made for a store that must exist already.
    if (opening == StoreOpening::ExistingOnly)
        return std::make_shared<RegistryStore>(file, opening);
    const QString folder = QFileInfo(file).absolutePath();
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!QDir().mkpath(folder))
        throw RegistryError(
            QStringLiteral("Cannot create the folder \"%1\" of the registry store").arg(folder).toStdString());
    // The store's own folder is private; a folder given to it that holds other files
    // as well (a test's temporary folder, the user's own choice) only loses the
    // access of others.
    const QByteArray nativeFolder = QFile::encodeName(folder);
    if (!folderExisted)
        ::chmod(nativeFolder.constData(), 0700);
    else
        makePrivate(nativeFolder, 0700);
    return std::make_shared<RegistryStore>(file, opening);
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
std::atomic<StoreOpening>& processStoreOpening()
{
    static std::atomic<StoreOpening> opening{StoreOpening::CreateWhenMissing};
    return opening;
}
}  // namespace

void setProcessStoreOpening(StoreOpening opening)
{
    processStoreOpening() = opening;
}

std::shared_ptr<RegistryStore> processStore()
{
    std::lock_guard lock(processStoreMutex());
    auto& slot = processStoreSlot();
    if (!slot)
        slot = openRegistryStore(defaultRegistryFile(), processStoreOpening());
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

}  // namespace platform
