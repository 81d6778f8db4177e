// The settings store that stands in for the Windows registry: both roots (HKCU and
// HKLM) in one SQLite database shared by Dialtally and Postpeek.
//
// Semantics kept from the registry the programs were designed against:
//  - key and value names are case-insensitive (Unicode case folding), and a name keeps
//    the spelling of its first write;
//  - key paths are absolute from the root; leading and trailing backslashes and empty
//    components are ignored ("\Software\Dialtally\" == "Software\Dialtally");
//  - subkeys and values enumerate in creation order;
//  - reading a missing integer raises "Failed to get data for '%s'", a value of another
//    type "Invalid data type for '%s'", a refused write "Failed to set data for '%s'"
//    followed by the store's file and the reason SQLite or the system gave;
//    a missing string reads as empty, missing binary data reads as 0 bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace platform {

enum class RootKey { CurrentUser, LocalMachine };

enum class ValueType { None = 0, String = 1, Binary = 3, Integer = 4 };

// Every failure of the store reaches the caller as this exception; its text is the
// one the user sees in the standard error display.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The store is locked by another connection (another program in the middle of a
// write) for longer than this connection waits: nothing was changed, and the same
// access can simply be made again later.
class RegistryBusy : public RegistryError {
public:
    using RegistryError::RegistryError;
};

class RegistryStore;

// Whether a store whose file is missing is made anew. Only the installer makes the
// user's store (and the tests their temporary ones): the programs and the registry
// tool take the store that is there, since a new, empty one in place of a deleted
// store would lose every setting and counter without a word.
enum class StoreOpening { CreateWhenMissing, ExistingOnly };

// Opens (or, when allowed, creates) the database at `file`. A missing file that may not
// be created, a file that exists but cannot be opened or written, or one that is not
// a valid store, raises RegistryError; an existing file is never replaced.
std::shared_ptr<RegistryStore> openRegistryStore(const QString& file,
                                                 StoreOpening opening = StoreOpening::CreateWhenMissing);

// What the user is told of a store file that does not exist, with how to make one.
QString missingStoreText(const QString& file);

// $XDG_CONFIG_HOME/dialtally/registry.db (default ~/.config/dialtally/registry.db).
QString defaultRegistryFile();

// How long an access waits for another connection's lock before it raises
// RegistryBusy; applies to the stores opened afterwards. The programs' default keeps a
// window's action waiting a few seconds at most; the registry tool, which the pppd
// hooks run, waits far longer, since a lost line change counts a connection for ever.
inline constexpr int kDefaultBusyTimeoutMs = 5000;
void setRegistryBusyTimeout(int milliseconds);

// For one scope the store waits only so long: the one-second tick must not hold the
// window for seconds, and a tick that meets a busy store is simply made again.
class BriefStoreWait {
public:
    BriefStoreWait(std::shared_ptr<RegistryStore> store, int milliseconds);
    ~BriefStoreWait();
    BriefStoreWait(const BriefStoreWait&) = delete;
    BriefStoreWait& operator=(const BriefStoreWait&) = delete;

private:
    std::shared_ptr<RegistryStore> m_store;
    int m_previous;
};

// The process-wide store, opened on first use at defaultRegistryFile(), made there
// when missing unless setProcessStoreOpening(ExistingOnly) was called first.
// Tests point XDG_CONFIG_HOME at a temporary folder before the first use, or call
// resetProcessStore() after changing it.
std::shared_ptr<RegistryStore> processStore();
void resetProcessStore();
void setProcessStoreOpening(StoreOpening opening);

// Whether anything in a store may have changed between two looks: equal generations
// mean that no one wrote it in between, neither this process (any access object) nor
// another connection (the other program, another copy, the registry tool). Values
// read after a look stay true for as long as the generation stays the same.
struct StoreGeneration {
    std::uint64_t store = 0;  // which store object, unique for the process's life
    std::int64_t dataVersion = 0;  // SQLite's count of other connections' commits
    std::int64_t ownChanges = 0;  // the rows this process has written
    friend bool operator==(const StoreGeneration&, const StoreGeneration&) = default;
};

// Groups writes that other readers must see together (a backup slot and the marker
// naming it, a key rewritten as a whole). Nested scopes join the outermost one.
// Destroyed without commit(), it rolls back.
class RegistryTransaction {
public:
    explicit RegistryTransaction(std::shared_ptr<RegistryStore> store = processStore());
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;
    void commit();

private:
    std::shared_ptr<RegistryStore> m_store;
    bool m_done = false;
};

// One access object, as each dialog, the monitoring session and the mail check cycle
// own one as a member; a free function works on the object it is handed.
class Registry {
public:
    // Works on processStore(), taken at the first access, so an object created
    // before the environment is set up still finds the right store.
    Registry();
    explicit Registry(std::shared_ptr<RegistryStore> store);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    void setRootKey(RootKey root);

    // Opens the key at the absolute `path` under the root. With canCreate the key and
    // its missing parents are created. Returns false when the key does not exist (or
    // cannot be created); the key open before stays open then.
    bool openKey(const QString& path, bool canCreate);
    void closeKey();
    bool hasOpenKey() const { return m_key != 0; }
    // The open key's path as first spelled, without a leading backslash.
    QString currentPath() const;

    bool keyExists(const QString& path) const;
    // Deletes the key and all of its subkeys; false when it does not exist.
    bool deleteKey(const QString& path);

    bool valueExists(const QString& name) const;
    ValueType valueType(const QString& name) const;  // None when missing

    std::int32_t readInteger(const QString& name) const;
    void writeInteger(const QString& name, std::int32_t value);
    QString readString(const QString& name) const;
    void writeString(const QString& name, const QString& value);
    // The whole binary value; a missing value gives an empty array.
    QByteArray readBinary(const QString& name) const;
    // Copies the binary value into buffer; more data than `size` bytes, or data of
    // another type, raises "Invalid data type"; a missing value copies nothing and
    // returns 0. Returns the number of bytes copied.
    int readBinaryData(const QString& name, void* buffer, int size) const;
    void writeBinaryData(const QString& name, const QByteArray& data);
    bool deleteValue(const QString& name);

    struct KeyInfo {
        int numSubKeys = 0;
        int numValues = 0;
    };
    // False when no key is open (or it was deleted meanwhile).
    bool getKeyInfo(KeyInfo& info) const;
    QStringList getKeyNames() const;
    QStringList getValueNames() const;

    std::shared_ptr<RegistryStore> store() const;
    // Whether the file of that store is no longer at its path (deleted, or another
    // file put in its place) while this process still works on the file it opened.
    // One look at the path; false when the path can't be looked at.
    bool storeFileVanished() const;
    QString storeFile() const;
    // The generation of the store this object works on: one look at the database's
    // header, no query of the keys. Empty when the store could not be asked, which a
    // caller takes as "it may have changed".
    std::optional<StoreGeneration> generation() const;
    // The rows this process has written to that store so far (the ownChanges of its
    // generation), counted in memory: no look at the file.
    std::int64_t writesSoFar() const;
    // Why the last openKey that had to create its key failed (the store's file and
    // SQLite's reason); empty once a key is open or closed again.
    QString openFailure() const { return m_openFailure; }
    // Whether that failure was another connection's lock.
    bool openFailedBusy() const { return m_openFailedBusy; }

private:
    std::shared_ptr<RegistryStore> storeForPath() const;

    mutable std::shared_ptr<RegistryStore> m_store;
    RootKey m_root = RootKey::CurrentUser;
    std::int64_t m_key = 0;  // row of the open key, 0 = none
    bool m_followProcessStore = false;  // default-constructed: works on processStore()
    QString m_openFailure;
    bool m_openFailedBusy = false;
};

// One access in the programs' manner: set the root, open one key, work, close the key
// again whatever happens, so an error in between never leaves a key open on the
// owner's long-lived access object.
class KeyScope {
public:
    KeyScope(Registry& registry, RootKey root, const QString& path, bool canCreate)
        : m_registry(registry)
    {
        m_registry.closeKey();
        m_registry.setRootKey(root);
        m_opened = m_registry.openKey(path, canCreate);
    }
    ~KeyScope() { m_registry.closeKey(); }
    KeyScope(const KeyScope&) = delete;
    KeyScope& operator=(const KeyScope&) = delete;

    bool opened() const { return m_opened; }
    Registry* operator->() { return &m_registry; }
    Registry& registry() { return m_registry; }

private:
    Registry& m_registry;
    bool m_opened = false;
};

// The name of the user logged on to this session. Both programs read it from HKLM
// "\System\CurrentControlSet\control" "Current User", which no log-on fills on this
// system, so Dialtally writes it there when it starts.
QString loginUserName();
void recordLogOnUser(Registry& registry);
// The log-on user as that value holds it, its key made when missing; none while the
// key holds no value at all, which Windows showed as its "Default" user.
std::optional<QString> recordedLogOnUser(Registry& registry);

}  // namespace platform
