#include "platform/core/RegistryStore.h"

#include "common/RegistryNames.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <vector>

namespace platform {

namespace {

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
const char* const kUpsertValue = "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
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

[[noreturn]] void failGet(const QString& name, bool busy = false)
{
    if (busy)
        throw RegistryBusy(quoted("Failed to get data for '%1'", name));
    throw RegistryError(quoted("Failed to get data for '%1'", name));
}

// The registry's own text comes first, as the user knows it; what the store or the
// system said follows, so a refused write names the file and the cause.
[[noreturn]] void failSet(const QString& name, const QString& cause = QString(), bool busy = false)
{
    QString text = QString::fromLatin1("Failed to set data for '%1'").arg(name);
    if (!cause.isEmpty())
        text += QStringLiteral(". ") + cause;
    if (busy)
        throw RegistryBusy(text.toStdString());
    throw RegistryError(text.toStdString());
}

[[noreturn]] void failType(const QString& name)
{
    throw RegistryError(quoted("Invalid data type for '%1'", name));
}

}  // namespace

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
        failGet(name, store.busy());
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
{ }

Registry::Registry(std::shared_ptr<RegistryStore> store)
    : m_store(std::move(store))
{ }

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

bool Registry::storeFileVanished() const
{
    return store()->fileVanished();
}

QString Registry::storeFile() const
{
    return store()->file();
}

std::optional<StoreGeneration> Registry::generation() const
{
    return store()->generation();
}

std::int64_t Registry::writesSoFar() const
{
    return store()->writesSoFar();
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
            m_openFailedBusy = db.busy();
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
            m_openFailedBusy = dynamic_cast<const RegistryBusy*>(&error) != nullptr;
            return false;
        }
    }
    if (row == 0)
        return false;
    m_store = current;
    m_key = row;
    m_openFailure.clear();
    m_openFailedBusy = false;
    return true;
}

void Registry::closeKey()
{
    m_key = 0;
    m_openFailure.clear();
    m_openFailedBusy = false;
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
    for (const char* sql : {kDeleteSubtreeValues, kDeleteSubtreeKeys}) {
        Query query(db, sql);
        query.bind(1, row);
        if (query.step() != SQLITE_DONE)
            db.fail(QStringLiteral("Cannot delete the key \"%1\"").arg(components.join(QLatin1Char('\\'))));
    }
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
        failSet(name, db.failureCause(), db.busy());
}

}  // namespace

void Registry::writeInteger(const QString& name, std::int32_t value)
{
    if (m_key == 0)
        failSet(name, m_openFailure, m_openFailedBusy);
    writeValue(*store(), m_key, name, ValueType::Integer, [value](Query& q) { q.bind(5, std::int64_t(value)); });
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
        failSet(name, m_openFailure, m_openFailedBusy);
    writeValue(*store(), m_key, name, ValueType::String, [&value](Query& q) { q.bind(5, value); });
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
        failSet(name, m_openFailure, m_openFailedBusy);
    writeValue(*store(), m_key, name, ValueType::Binary, [&data](Query& q) { q.bindBlob(5, data); });
}

bool Registry::deleteValue(const QString& name)
{
    if (m_key == 0)
        return false;
    RegistryStore& db = *store();
    std::lock_guard lock(db.mutex);
    Query query(db, kDeleteValue);
    query.bind(1, m_key).bind(2, fold(name));
    if (query.step() != SQLITE_DONE)
        db.raise(QString::fromStdString(quoted("Failed to delete the value '%1'", name)));
    return sqlite3_changes(db.handle()) > 0;
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
        QString name = qEnvironmentVariable(variable);
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

std::optional<QString> recordedLogOnUser(Registry& registry)
{
    KeyScope key(registry, RootKey::LocalMachine, regkeys::name(regkeys::kControl), true);
    Registry::KeyInfo info;
    if (key->getKeyInfo(info) && info.numValues == 0)
        return std::nullopt;
    return key->readString(regkeys::name(regkeys::vCurrentUser));
}

}  // namespace platform
