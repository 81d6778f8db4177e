#include "platform/core/DialUpLine.h"

#include "support/Fakes.h"
#include "common/RegistryNames.h"

#include <gtest/gtest.h>

using platform::isDialUpLineUp;
using platform::Registry;
using platform::RegistryError;
using platform::RootKey;
using testing_support::TestEnvironment;

namespace {

void writeLine(Registry& r, const QByteArray& bytes)
{
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(regkeys::kRemoteAccessService, true));
    r.writeBinaryData(regkeys::vRemoteConnection, bytes);
    r.closeKey();
}

TEST(DialUpLine, ReadsOnlyTheNumberOneAsUp)
{
    const struct {
        const char* what;
        QByteArray bytes;
        bool up;
    } cases[] = {
        {"up", QByteArray::fromHex("01000000"), true},
        {"down", QByteArray::fromHex("00000000"), false},
        {"another number", QByteArray::fromHex("02000000"), false},
        {"1 in the high byte", QByteArray::fromHex("00000001"), false},
        {"1 with a high byte set", QByteArray::fromHex("01000001"), false},
        {"one byte", QByteArray::fromHex("01"), true},
        {"empty", QByteArray(), false},
    };
    for (const auto& c : cases) {
        TestEnvironment env;
        writeLine(env.registry, c.bytes);
        Registry reader;
        EXPECT_EQ(isDialUpLineUp(reader), c.up) << c.what;
    }
}

TEST(DialUpLine, AMissingKeyOrValueIsDownAndCreatesNothing)
{
    TestEnvironment env;
    Registry reader;
    EXPECT_FALSE(isDialUpLineUp(reader));
    env.registry.setRootKey(RootKey::LocalMachine);
    EXPECT_FALSE(env.registry.keyExists(regkeys::kRemoteAccessService)) << "a read must not create the key";

    ASSERT_TRUE(env.registry.openKey(regkeys::kRemoteAccessService, true));
    env.registry.closeKey();
    EXPECT_FALSE(isDialUpLineUp(reader));
}

TEST(DialUpLine, TooLongAValueIsTheStoresErrorAndLeavesNoKeyOpen)
{
    TestEnvironment env;
    writeLine(env.registry, QByteArray::fromHex("0100000000"));
    Registry reader;
    try {
        isDialUpLineUp(reader);
        FAIL() << "a five-byte value was read as a line state";
    } catch (const RegistryError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Remote Connection'");
    }
    EXPECT_FALSE(reader.hasOpenKey());
}

TEST(DialUpLine, LeavesTheCallersAccessObjectWithNoKeyOpen)
{
    TestEnvironment env;
    env.setLine(true);
    Registry reader;
    reader.setRootKey(RootKey::CurrentUser);
    ASSERT_TRUE(reader.openKey(regkeys::kSoftware, true));
    EXPECT_TRUE(isDialUpLineUp(reader));
    EXPECT_FALSE(reader.hasOpenKey());
}

TEST(DialUpLine, MarkingItDownAndReadingTheEntryMakeNoKey)
{
    TestEnvironment env;
    Registry user;
    platform::markDialUpLineDown(user);
    EXPECT_EQ(platform::defaultDialUpEntry(user), QString());
    env.registry.setRootKey(RootKey::LocalMachine);
    EXPECT_FALSE(env.registry.keyExists(regkeys::kRemoteAccessService));
    env.registry.setRootKey(RootKey::CurrentUser);
    EXPECT_FALSE(env.registry.keyExists(regkeys::kRemoteAccess));

    env.setLine(true);
    ASSERT_TRUE(isDialUpLineUp(user));
    platform::markDialUpLineDown(user);
    EXPECT_FALSE(isDialUpLineUp(user));
    EXPECT_FALSE(user.hasOpenKey());
    env.registry.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(env.registry.openKey(regkeys::kRemoteAccessService, false));
    EXPECT_EQ(env.registry.readBinary(regkeys::vRemoteConnection), QByteArray(4, '\0'));
    env.registry.closeKey();

    env.registry.setRootKey(RootKey::CurrentUser);
    ASSERT_TRUE(env.registry.openKey(regkeys::kRemoteAccess, true));
    env.registry.writeString(regkeys::vDefault, QStringLiteral("ISP"));
    env.registry.closeKey();
    EXPECT_EQ(platform::defaultDialUpEntry(user), QStringLiteral("ISP"));
}

}  // namespace
