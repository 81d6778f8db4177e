#include "platform/core/Registry.h"
#include "platform/core/RegistryStore.h"

#include "support/Fakes.h"
#include "common/RegistryNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <functional>
#include <limits>
#include <thread>

using platform::Registry;
using platform::RegistryError;
using platform::RegistryStore;
using platform::RegistryTransaction;
using platform::RootKey;
using platform::ValueType;

namespace {

// The text of the RegistryError that action raises, or "" when it raises none.
std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RegistryError& e) {
        return e.what();
    }
    return {};
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void touchFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class RegistryTest : public ::testing::Test {
protected:
    Registry& at(RootKey root, const QString& key)
    {
        reg.setRootKey(root);
        EXPECT_TRUE(reg.openKey(key, true)) << key.toStdString();
        return reg;
    }

    testing_support::TestEnvironment env;
    Registry reg;
};

// ---- names ------------------------------------------------------------------------

TEST_F(RegistryTest, OtherSpellingsNameTheSameKeyAndValueAndTheFirstSpellingStays)
{
    struct Case {
        RootKey root;
        const char* firstKey;
        const char* firstName;
        const char* otherKey;
        const char* otherName;
        const char* storedPath;  // currentPath() after opening by the other spelling
    };
    const Case cases[] = {
        {RootKey::CurrentUser, "\\Software\\Dialtally", "Connect delay", "Software\\Dialtally\\", "Connect Delay",
         "Software\\Dialtally"},
        // The parents keep the spelling of the case above.
        {RootKey::CurrentUser, "\\software\\dialtally\\Exec", "Lines", "\\Software\\Dialtally\\Exec\\", "LINES",
         "Software\\Dialtally\\Exec"},
        {RootKey::CurrentUser, "\\Software\\Dialtally\\Ärger", "Ärger", "\\SOFTWARE\\DIALTALLY\\ärger", "äRGER",
         "Software\\Dialtally\\Ärger"},
        {RootKey::LocalMachine, "\\Software\\Dialtally", "AntiCrash", "\\\\Software\\\\Dialtally\\\\", "Anticrash",
         "Software\\Dialtally"},
        {RootKey::LocalMachine, "\\Software\\Dialtally\\Counter\\Current", "Backup",
         "software\\dialtally\\counter\\current", "backup", "Software\\Dialtally\\Counter\\Current"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.otherKey);
        at(c.root, c.firstKey).writeInteger(c.firstName, 15);
        at(c.root, c.otherKey);
        EXPECT_EQ(reg.currentPath().toStdString(), c.storedPath);
        EXPECT_EQ(reg.readInteger(c.otherName), 15);
        // An update under the other spelling changes the data, not the name.
        reg.writeInteger(c.otherName, 16);
        EXPECT_EQ(reg.readInteger(c.firstName), 16);
        EXPECT_TRUE(reg.getValueNames().contains(QString::fromUtf8(c.firstName)));
        EXPECT_FALSE(reg.getValueNames().contains(QString::fromUtf8(c.otherName)));
    }
    // The two roots are separate trees.
    at(RootKey::CurrentUser, regkeys::kSoftware);
    EXPECT_FALSE(reg.valueExists("AntiCrash"));
}

// ---- values and their types --------------------------------------------------------

TEST_F(RegistryTest, ValuesKeepTheirTypeAndMissingOnesReadAsDocumented)
{
    at(RootKey::CurrentUser, regkeys::kSoftware);
    const std::int32_t integers[] = {0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()};
    for (std::int32_t value : integers) {
        reg.writeInteger("Int", value);
        EXPECT_EQ(reg.readInteger("Int"), value);
    }
    reg.writeString("Str", QString::fromUtf8("Zürich \\ \"quoted\""));
    reg.writeString("Empty", QString());
    const QByteArray line("\x01\x00\x00\x00", 4);
    reg.writeBinaryData("Bin", line);
    reg.writeBinaryData("NoBytes", QByteArray());

    EXPECT_EQ(reg.valueType("Int"), ValueType::Integer);
    EXPECT_EQ(reg.valueType("Str"), ValueType::String);
    EXPECT_EQ(reg.valueType("Bin"), ValueType::Binary);
    EXPECT_EQ(reg.valueType("Missing"), ValueType::None);
    EXPECT_EQ(reg.readString("Str"), QString::fromUtf8("Zürich \\ \"quoted\""));
    EXPECT_TRUE(reg.valueExists("Empty"));
    EXPECT_EQ(reg.readString("Empty"), QString());
    EXPECT_EQ(reg.readBinary("Bin"), line);
    EXPECT_TRUE(reg.valueExists("NoBytes"));
    EXPECT_EQ(reg.readBinary("NoBytes"), QByteArray());

    std::int32_t up = 0;
    EXPECT_EQ(reg.readBinaryData("Bin", &up, sizeof up), 4);
    EXPECT_EQ(up, 1);
    char big[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(reg.readBinaryData("Bin", big, sizeof big), 4);
    EXPECT_EQ(big[4], 9);

    // Missing values: an empty string, no bytes, nothing copied.
    EXPECT_EQ(reg.readString("Missing"), QString());
    EXPECT_EQ(reg.readBinary("Missing"), QByteArray());
    up = 7;
    EXPECT_EQ(reg.readBinaryData("Missing", &up, sizeof up), 0);
    EXPECT_EQ(up, 7);

    // A write of another type replaces the type.
    reg.writeString("Int", "now text");
    EXPECT_EQ(reg.valueType("Int"), ValueType::String);

    EXPECT_TRUE(reg.deleteValue("bin"));
    EXPECT_FALSE(reg.deleteValue("bin"));
    EXPECT_FALSE(reg.valueExists("Bin"));

    // Everything is in the file, not only in this connection.
    reg.closeKey();
    Registry again(platform::openRegistryStore(env.registryFile()));
    ASSERT_TRUE(again.openKey(regkeys::kSoftware, false));
    EXPECT_EQ(again.readString("Str"), QString::fromUtf8("Zürich \\ \"quoted\""));
    EXPECT_EQ(again.readString("int"), "now text");
}

TEST_F(RegistryTest, FailuresRaiseTheRegistryErrorTexts)
{
    at(RootKey::CurrentUser, regkeys::kSoftware);
    reg.writeString("Text", "x");
    reg.writeInteger("Number", 3);
    reg.writeBinaryData("Line", QByteArray(4, '\0'));
    reg.closeKey();

    Registry other;  // deletes the key under an open one
    struct Case {
        const char* what;
        std::function<void(Registry&)> action;
        QString error;
    };
    const Case cases[] = {
        {"missing integer", [](Registry& r) { r.readInteger("Connect Delay"); },
         "Failed to get data for 'Connect Delay'"},
        {"integer without open key",
         [](Registry& r) {
             r.closeKey();
             r.readInteger("Bug");
         },
         "Failed to get data for 'Bug'"},
        {"string read as integer", [](Registry& r) { r.readInteger("Text"); }, "Invalid data type for 'Text'"},
        {"integer read as string", [](Registry& r) { r.readString("Number"); }, "Invalid data type for 'Number'"},
        {"integer read as binary", [](Registry& r) { r.readBinary("Number"); }, "Invalid data type for 'Number'"},
        {"binary larger than the buffer",
         [](Registry& r) {
             char two[2];
             r.readBinaryData("Line", two, sizeof two);
         },
         "Invalid data type for 'Line'"},
        {"write without open key",
         [](Registry& r) {
             r.closeKey();
             r.writeInteger("Bug", 1);
         },
         "Failed to set data for 'Bug'"},
        {"string write without open key",
         [](Registry& r) {
             r.closeKey();
             r.writeString("Fee", "1 dol. 0 c.");
         },
         "Failed to set data for 'Fee'"},
        {"write into a key deleted meanwhile",
         [&other](Registry& r) {
             ASSERT_TRUE(r.openKey("\\Software\\Dialtally\\Gone", true));
             ASSERT_TRUE(other.deleteKey("\\Software\\Dialtally\\Gone"));
             // Even a key of the same name created since is another key.
             ASSERT_TRUE(other.openKey("\\Software\\Dialtally\\Gone", true));
             r.writeBinaryData("Remote Connection", QByteArray(4, '\0'));
         },
         // A write that the store itself refuses names the file and the cause.
         QStringLiteral("Failed to set data for 'Remote Connection'. Registry store \"%1\": FOREIGN KEY "
                        "constraint failed")
             .arg(env.registryFile())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        at(RootKey::CurrentUser, regkeys::kSoftware);
        EXPECT_EQ(errorOf([&] { c.action(reg); }), c.error.toStdString());
    }
    // No failed write left anything behind.
    reg.setRootKey(RootKey::CurrentUser);
    ASSERT_TRUE(reg.openKey("\\Software\\Dialtally\\Gone", false));
    EXPECT_TRUE(reg.getValueNames().isEmpty());
}

// ---- keys -----------------------------------------------------------------------------

TEST_F(RegistryTest, EnumerationKeepsCreationOrderAndKeyInfoCounts)
{
    Registry::KeyInfo info;
    EXPECT_FALSE(reg.getKeyInfo(info));
    EXPECT_TRUE(reg.getKeyNames().isEmpty());

    at(RootKey::CurrentUser, regkeys::kEmailAccounts);
    for (const char* account : {"zeta", "Alpha", "mid"})
        ASSERT_TRUE(Registry().openKey(QStringLiteral("%1\\%2").arg(regkeys::kEmailAccounts, account), true));
    for (const char* name : {"Z", "a", "M"})
        reg.writeInteger(name, 1);
    reg.writeString("A", "updated");  // an update keeps the place
    EXPECT_TRUE(reg.deleteValue("Z"));
    reg.writeInteger("z", 2);  // deleted and written again: last
    EXPECT_EQ(reg.getValueNames(), QStringList({"a", "M", "z"}));
    EXPECT_EQ(reg.getKeyNames(), QStringList({"zeta", "Alpha", "mid"}));
    ASSERT_TRUE(reg.getKeyInfo(info));
    EXPECT_EQ(info.numSubKeys, 3);
    EXPECT_EQ(info.numValues, 3);

    // An empty key.
    at(RootKey::CurrentUser, QStringLiteral("%1\\mid").arg(regkeys::kEmailAccounts));
    ASSERT_TRUE(reg.getKeyInfo(info));
    EXPECT_EQ(info.numSubKeys, 0);
    EXPECT_EQ(info.numValues, 0);
}

TEST_F(RegistryTest, OpenKeyCreatesOnlyWhenAskedAndKeepsTheOpenKeyOnFailure)
{
    reg.setRootKey(RootKey::LocalMachine);
    EXPECT_FALSE(reg.keyExists(regkeys::kCounterAll));
    EXPECT_FALSE(reg.openKey(regkeys::kCounterAll, false));
    EXPECT_FALSE(reg.hasOpenKey());
    ASSERT_TRUE(reg.openKey(regkeys::kCounterAll, true));
    EXPECT_TRUE(reg.keyExists("\\Software\\Dialtally"));  // the parents too
    EXPECT_TRUE(reg.keyExists("software\\dialtally\\counter\\all\\"));

    EXPECT_FALSE(reg.openKey("\\Software\\Dialtally\\Nothing", false));
    EXPECT_TRUE(reg.hasOpenKey());
    EXPECT_EQ(reg.currentPath(), "Software\\Dialtally\\Counter\\All");

    // A change of root closes the key of the other root.
    reg.setRootKey(RootKey::CurrentUser);
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_FALSE(reg.keyExists(regkeys::kCounterAll));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeSubtreeAndNothingElse)
{
    const QString accounts = regkeys::kEmailAccounts;
    at(RootKey::CurrentUser, accounts + "\\home\\deep\\deeper").writeString("User", "u");
    at(RootKey::CurrentUser, accounts + "\\home").writeInteger("Port", 110);
    at(RootKey::CurrentUser, accounts + "\\work").writeInteger("Port", 995);
    at(RootKey::CurrentUser, regkeys::kEmail).writeInteger("Minutes", 5);
    at(RootKey::LocalMachine, QStringLiteral("\\Software\\Dialtally\\Email\\Accounts\\home")).writeInteger("Port", 1);

    Registry stale;
    stale.setRootKey(RootKey::CurrentUser);
    ASSERT_TRUE(stale.openKey(accounts + "\\home\\deep", false));

    reg.setRootKey(RootKey::CurrentUser);
    EXPECT_TRUE(reg.deleteKey("\\software\\dialtally\\email\\accounts\\HOME\\"));
    EXPECT_FALSE(reg.deleteKey(accounts + "\\home"));
    EXPECT_FALSE(reg.keyExists(accounts + "\\home\\deep\\deeper"));
    EXPECT_TRUE(reg.keyExists(accounts + "\\work"));
    EXPECT_EQ(testing_support::readInt(RootKey::CurrentUser, accounts + "\\work", "Port"), 995);
    EXPECT_EQ(testing_support::readInt(RootKey::CurrentUser, regkeys::kEmail, "Minutes"), 5);
    EXPECT_EQ(testing_support::readInt(RootKey::LocalMachine, accounts + "\\home", "Port"), 1);

    // A key recreated under the same name starts empty, and an object that still had
    // the old one open sees it gone.
    at(RootKey::CurrentUser, accounts + "\\home\\deep");
    EXPECT_TRUE(reg.getValueNames().isEmpty());
    EXPECT_TRUE(reg.getKeyNames().isEmpty());
    Registry::KeyInfo info;
    EXPECT_FALSE(stale.getKeyInfo(info));
    EXPECT_EQ(stale.readString("User"), QString());

    // The root itself is never deleted.
    reg.setRootKey(RootKey::CurrentUser);
    EXPECT_FALSE(reg.deleteKey("\\"));
    EXPECT_FALSE(reg.deleteKey(""));
    EXPECT_TRUE(reg.keyExists(accounts + "\\work"));
}

// ---- transactions -------------------------------------------------------------------

TEST_F(RegistryTest, TransactionsCommitTogetherAndRollBackWhenNotCommitted)
{
    auto store = reg.store();
    Registry reader(platform::openRegistryStore(env.registryFile()));  // another connection
    at(RootKey::LocalMachine, regkeys::kCounterCurrent).writeInteger("Backup", 0);
    {
        RegistryTransaction outer(store);
        reg.writeInteger("Time", 10);
        {
            RegistryTransaction joined(store);
            reg.writeInteger("bTime", 11);
            joined.commit();
        }
        {
            RegistryTransaction abandoned(store);
            reg.writeInteger("Backup", 99);
        }  // rolls back only its own write
        reg.writeInteger("Backup", 1);
        reader.setRootKey(RootKey::LocalMachine);
        ASSERT_TRUE(reader.openKey(regkeys::kCounterCurrent, false));
        EXPECT_FALSE(reader.valueExists("Time"));  // nothing visible before the commit
        EXPECT_EQ(reader.readInteger("Backup"), 0);
        outer.commit();
    }
    EXPECT_EQ(reader.readInteger("Time"), 10);
    EXPECT_EQ(reader.readInteger("bTime"), 11);
    EXPECT_EQ(reader.readInteger("Backup"), 1);

    {
        RegistryTransaction dropped(store);
        reg.writeInteger("Time", 20);
        ASSERT_TRUE(reg.deleteKey(regkeys::kCounterCurrent));
    }
    EXPECT_EQ(reader.readInteger("Time"), 10);
    EXPECT_TRUE(reader.keyExists(regkeys::kCounterCurrent));
}

TEST_F(RegistryTest, ReadsAndOpeningAnExistingKeyNeverWaitForTheWriteLock)
{
    at(RootKey::LocalMachine, regkeys::kRemoteAccessService).writeBinaryData("Remote Connection", QByteArray(4, 0));
    reg.closeKey();

    // The other program holds the write lock for as long as this test runs.
    auto writer = platform::openRegistryStore(env.registryFile());
    RegistryTransaction held(writer);
    Registry(writer).openKey("\\Software\\Dialtally\\Busy", true);

    QElapsedTimer timer;
    timer.start();
    reg.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(reg.openKey(regkeys::kRemoteAccessService, true));
    EXPECT_EQ(reg.readBinary("Remote Connection").size(), 4);
    EXPECT_EQ(reg.readString("Missing"), QString());
    EXPECT_TRUE(reg.getValueNames().contains("Remote Connection"));
    Registry::KeyInfo info;
    EXPECT_TRUE(reg.getKeyInfo(info));
    EXPECT_TRUE(reg.keyExists("\\System"));
    EXPECT_FALSE(reg.keyExists("\\Software\\Dialtally\\Busy"));  // not committed yet
    EXPECT_LT(timer.elapsed(), 1000);
}

// ---- the file ---------------------------------------------------------------------

TEST(RegistryFile, AFileThatIsNotAStoreIsRefusedAndLeftAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const QString foreign = dir.filePath("foreign.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine');", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    QByteArray truncated;
    {
        // A store cut short: a valid header promising pages that are not there.
        const QString whole = dir.filePath("whole.db");
        auto store = platform::openRegistryStore(whole);
        Registry r(store);
        ASSERT_TRUE(r.openKey("\\Software\\Dialtally", true));
        for (int i = 0; i < 300; ++i)
            r.writeString(QString("Value%1").arg(i), QString(200, QChar('x')));
        r.closeKey();
        store.reset();
        truncated = fileBytes(whole).left(100);
    }
    struct Case {
        const char* name;
        QByteArray content;  // empty: the file written by the setup above
    };
    const Case cases[] = {
        {"garbage.db", QByteArray("this is no database at all, just some text\n").repeated(200)},
        {"foreign.db", {}},
        {"truncated.db", truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(c.name);
        if (!c.content.isEmpty())
            writeFile(file, c.content);
        const QByteArray before = fileBytes(file);
        const std::string error = errorOf([&] { platform::openRegistryStore(file); });
        EXPECT_NE(error.find(file.toStdString()), std::string::npos) << error;
        EXPECT_EQ(fileBytes(file), before);
        EXPECT_FALSE(QFile::exists(file + "-wal"));
    }

    // A folder where the file should be.
    QDir(dir.path()).mkdir("folder.db");
    EXPECT_NE(errorOf([&] { platform::openRegistryStore(dir.filePath("folder.db")); }), "");
}

// The programs and the registry tool open the user's store or say that there is none;
// only the installation (here: the default opening) makes one.
TEST(RegistryFile, AStoreThatMustExistIsNeverMadeAndItsAbsenceIsSaid)
{
    testing_support::TestEnvironment env;
    const QString file = env.registryFile();
    platform::setProcessStoreOpening(platform::StoreOpening::ExistingOnly);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string error = errorOf([] { platform::processStore(); });
        EXPECT_NE(error.find("The registry store \"" + file.toStdString() + "\" does not exist"), std::string::npos)
            << error;
        EXPECT_NE(error.find("dialtally-install"), std::string::npos) << error;
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(file).absolutePath()));

    platform::openRegistryStore(file);
    EXPECT_EQ(errorOf([] { platform::processStore(); }), "");
}

// Two programs making the same store at once (two installations): while one holds the
// new file's write lock, the other must wait for it, not fail its open.
TEST(RegistryFile, AStoreBeingMadeByAnotherProgramIsWaitedFor)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("registry.db");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; CREATE TABLE making(x)", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([other] {
        QThread::msleep(400);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    });
    QElapsedTimer waited;
    waited.start();
    try {
        auto store = platform::openRegistryStore(file);
        Registry r(store);
        r.setRootKey(RootKey::LocalMachine);
        ASSERT_TRUE(r.openKey("Software\\Dialtally", true));
        r.writeInteger("Made", 1);
        EXPECT_EQ(r.readInteger("Made"), 1);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "the open failed after " << waited.elapsed() << " ms: " << e.what();
    }
    release.join();
}

// A store deleted while a program works on it leaves its write-ahead log and index
// behind; the store made in its place must start empty and whole, and the program
// that still works on the deleted file must not be disturbed by it.
TEST(RegistryFile, ANewStoreTakesNothingFromTheFilesADeletedOneLeftBehind)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("registry.db");
    auto old = platform::openRegistryStore(file);
    Registry before(old);
    ASSERT_TRUE(before.openKey("Software\\Dialtally", true));
    before.writeString("Old", "from the deleted store");
    ASSERT_TRUE(QFile::exists(file + "-wal"));
    ASSERT_TRUE(QFile::remove(file));

    {
        Registry made(platform::openRegistryStore(file));
        EXPECT_FALSE(made.openKey("Software\\Dialtally", false));
        ASSERT_TRUE(made.openKey("Software\\Dialtally", true));
        made.writeString("New", "in the new store");
    }
    // The deleted store's own connection goes on as before.
    before.writeString("Later", "still the deleted store");
    EXPECT_EQ(before.readString("Old"), "from the deleted store");
    EXPECT_FALSE(before.valueExists("New"));
    before.closeKey();
    old.reset();

    Registry after(platform::openRegistryStore(file));
    ASSERT_TRUE(after.openKey("Software\\Dialtally", false));
    EXPECT_EQ(after.getValueNames(), QStringList{"New"});
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(after.store()->handle(), "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
}

// A good store on a file system that went read-only (the suite runs as root, whom a
// folder's mode does not stop): it is said that it can't be written, never that the
// file is no store, which would invite the user to delete it.
TEST(RegistryFile, AStoreThatCantBeWrittenIsSaidSoAndNotBlamed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a read-only file system needs root";
    QTemporaryDir dir;
    const QString folder = dir.filePath("ro");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray mountPoint = QFile::encodeName(folder);
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QByteArray point;
        ~Unmount() { ::umount2(point.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    const QString file = folder + "/registry.db";
    {
        Registry r(platform::openRegistryStore(file));
        ASSERT_TRUE(r.openKey("Software\\Dialtally", true));
        r.writeString("User Name", "Ann");
    }
    ASSERT_FALSE(QFile::exists(file + "-shm"));
    ASSERT_EQ(::mount("tmpfs", mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    const QByteArray bytes = fileBytes(file);

    for (const auto opening : {platform::StoreOpening::CreateWhenMissing, platform::StoreOpening::ExistingOnly}) {
        const std::string error = errorOf([&] { platform::openRegistryStore(file, opening); });
        EXPECT_NE(error.find("The registry store \"" + file.toStdString() + "\" cannot be written"), std::string::npos)
            << error;
        EXPECT_NE(error.find("\"" + folder.toStdString() + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(std::strerror(EROFS)), std::string::npos) << error;
        EXPECT_EQ(error.find("not a registry store"), std::string::npos) << error;
    }
    EXPECT_EQ(fileBytes(file), bytes);
}

TEST(RegistryFile, TheProcessStoreLivesUnderTheConfigFolderAndIsCreatedWithIt)
{
    testing_support::TestEnvironment env;
    const QString expected = env.configHome() + "/dialtally/registry.db";
    EXPECT_EQ(platform::defaultRegistryFile(), expected);
    EXPECT_FALSE(QFile::exists(expected));

    Registry lazy;  // made before the first use, works on the store of the moment
    auto first = platform::processStore();
    EXPECT_EQ(first, platform::processStore());
    EXPECT_TRUE(QFile::exists(expected));

    lazy.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(lazy.openKey(regkeys::kSoftware, true));
    lazy.writeInteger(regkeys::vBug, 1);
    lazy.closeKey();

    // Another configuration folder: the same object follows to the new store.
    QTemporaryDir other;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", other.path().toLocal8Bit());
    platform::resetProcessStore();
    EXPECT_NE(first, platform::processStore());
    ASSERT_TRUE(lazy.openKey(regkeys::kSoftware, true));
    EXPECT_FALSE(lazy.valueExists(regkeys::vBug));
    lazy.closeKey();
    qputenv("XDG_CONFIG_HOME", saved);
    platform::resetProcessStore();
    EXPECT_EQ(testing_support::readInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vBug), 1);
}

// The store holds the mail passwords: nobody but its owner reads it, and a store made
// before that rule is tightened when it is opened.
TEST(RegistryFile, TheStoreIsPrivateAndAnExistingOneIsTightenedOnOpen)
{
    testing_support::TestEnvironment env;
    const QString file = env.registryFile();
    const QString folder = QFileInfo(file).absolutePath();
    const auto modeOf = [](const QString& path) {
        struct stat info { };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    const auto write = [] { testing_support::writeInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vBug, 1); };
    write();
    EXPECT_EQ(modeOf(folder), 0700);
    for (const char* suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(modeOf(file + suffix), 0600) << suffix;

    struct Case {
        const char* what;
        int folder, db, wal, shm;
        int folderAfter, dbAfter, sideAfter;
    } cases[] = {
        {"an older store readable by all", 0755, 0644, 0644, 0644, 0700, 0600, 0600},
        // A shared-memory file left read-only must not keep the writes failing once
        // the database is writable again.
        {"a read-only shared-memory file", 0700, 0600, 0600, 0444, 0700, 0600, 0600},
        // A database that its owner made read-only stays so; only others lose access.
        {"a database made read-only", 0750, 0444, 0644, 0644, 0700, 0400, 0600},
    };
    // Another program keeps the store open, so its side files stay, as a crash leaves
    // them.
    const auto other = platform::openRegistryStore(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::resetProcessStore();
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode_t(c.folder)), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), mode_t(c.db)), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(file + "-wal").constData(), mode_t(c.wal)), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(file + "-shm").constData(), mode_t(c.shm)), 0);
        platform::processStore();
        EXPECT_EQ(modeOf(folder), c.folderAfter);
        EXPECT_EQ(modeOf(file), c.dbAfter);
        EXPECT_EQ(modeOf(file + "-wal"), c.sideAfter);
        EXPECT_EQ(modeOf(file + "-shm"), c.sideAfter);
    }
    ::chmod(QFile::encodeName(file).constData(), 0600);
    platform::resetProcessStore();
    write();
}

// A write that another program's lock keeps out says which file and why, after the
// text the user knows.
TEST(RegistryFile, ARefusedWriteNamesTheFileAndTheCause)
{
    testing_support::TestEnvironment env;
    Registry registry;
    registry.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(registry.openKey(regkeys::kSoftware, true));
    registry.writeInteger(regkeys::vBug, 1);
    registry.closeKey();

    testing_support::StoreLock lock(env.registryFile());
    const QString where = QStringLiteral("\"%1\": database is locked").arg(env.registryFile());
    ASSERT_TRUE(registry.openKey(regkeys::kSoftware, true));
    const QString refused = QString::fromStdString(errorOf([&] { registry.writeInteger(regkeys::vBug, 2); }));
    EXPECT_TRUE(refused.startsWith("Failed to set data for 'Bug'. ")) << refused.toStdString();
    EXPECT_TRUE(refused.endsWith(where)) << refused.toStdString();
    registry.closeKey();

    // Whether its key has to be created or is there, the log-on user's write says so
    // in the same way.
    const QString logOn = QString::fromStdString(errorOf([&] { platform::recordLogOnUser(registry); }));
    EXPECT_TRUE(logOn.startsWith("Failed to set data for 'Current User'. ")) << logOn.toStdString();
    EXPECT_TRUE(logOn.endsWith(where)) << logOn.toStdString();

    lock.release();
    platform::recordLogOnUser(registry);
    EXPECT_EQ(testing_support::readStr(RootKey::LocalMachine, regkeys::kControl, regkeys::vCurrentUser),
              platform::loginUserName());
}

TEST(RegistryFile, TheLogOnUserIsRecordedWhereWindowsKeptIt)
{
    testing_support::TestEnvironment env;
    ASSERT_FALSE(platform::loginUserName().isEmpty());
    Registry r;
    platform::recordLogOnUser(r);
    EXPECT_EQ(
        testing_support::readStr(RootKey::LocalMachine, "\\System\\CurrentControlSet\\Control", regkeys::vCurrentUser),
        platform::loginUserName());
}

// ---- two programs at once ----------------------------------------------------------

constexpr int kChildWrites = 500;
const char* const kChildFile = "DIALTALLY_REGISTRY_CHILD_FILE";
const char* const kChildTag = "DIALTALLY_REGISTRY_CHILD_TAG";
const char* const kSharedKey = "\\Software\\Dialtally\\Counter\\Current";

// Not a test of its own: the body of each writer process the test below starts.
TEST(RegistryTwoProcesses, DISABLED_Writer)
{
    const QString file = qEnvironmentVariable(kChildFile);
    const QString tag = qEnvironmentVariable(kChildTag);
    ASSERT_FALSE(file.isEmpty());
    auto store = platform::openRegistryStore(file);
    Registry r(store);
    // Both writers start at once, or one could be done before the other begins.
    const QString folder = QFileInfo(file).absolutePath();
    touchFile(folder + "/ready-" + tag);
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(folder + "/go")) {
        ASSERT_LT(waited.elapsed(), 30000);
        QThread::msleep(1);
    }
    r.setRootKey(RootKey::LocalMachine);
    for (int i = 0; i < kChildWrites; ++i) {
        // Each round opens the key anew, as the programs do, racing the other writer
        // to create it.
        ASSERT_TRUE(r.openKey(kSharedKey, true));
        r.writeInteger(QString("%1-%2").arg(tag).arg(i), i);
        RegistryTransaction transaction(store);
        const int counter = r.valueExists("Counter") ? r.readInteger("Counter") : 0;
        r.writeInteger("Counter", counter + 1);
        transaction.commit();
        r.closeKey();
    }
}

TEST(RegistryTwoProcesses, NoWriteIsLostWhenBothWriteTheSameKey)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("registry.db");
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* tag : {"a", "b"}) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kChildFile, file);
        environment.insert(kChildTag, tag);
        environment.insert("XDG_CONFIG_HOME", dir.path());
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(QCoreApplication::applicationFilePath(),
                       {"--gtest_also_run_disabled_tests", "--gtest_filter=RegistryTwoProcesses.DISABLED_Writer"});
        writers.push_back(std::move(process));
    }
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(dir.filePath("ready-a")) || !QFile::exists(dir.filePath("ready-b"))) {
        ASSERT_LT(waited.elapsed(), 60000);
        // Doubles as the pause between looks; a writer that ended already has failed.
        for (auto& process : writers)
            ASSERT_FALSE(process->waitForFinished(2)) << process->readAll().toStdString();
    }
    touchFile(dir.filePath("go"));
    for (auto& process : writers) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0) << process->readAll().toStdString();
    }
    Registry r(platform::openRegistryStore(file));
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(kSharedKey, false));
    EXPECT_EQ(r.readInteger("Counter"), 2 * kChildWrites);
    EXPECT_EQ(r.getValueNames().size(), 2 * kChildWrites + 1);
    for (const char* tag : {"a", "b"})
        for (int i = 0; i < kChildWrites; ++i)
            ASSERT_EQ(r.readInteger(QString("%1-%2").arg(tag).arg(i)), i);
    r.setRootKey(RootKey::LocalMachine);
    EXPECT_EQ(r.getKeyNames().size(), 0);
    ASSERT_TRUE(r.openKey("\\Software\\Dialtally\\Counter", false));
    EXPECT_EQ(r.getKeyNames(), QStringList({"Current"}));  // created once despite the race
}

}  // namespace
