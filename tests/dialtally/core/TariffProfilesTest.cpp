// The tariff profiles without their dialog: the number rules of the fields, the names
// a profile may have, and the day slots and profile the charging copies from.
#include "support/core/RegistryShorthand.h"
#include "dialtally/core/TariffProfiles.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(TariffOptionsLogic, AtoiAndNumberProblems)
{
    EXPECT_EQ(tariffoptions::atoi(QString()), 0);
    EXPECT_EQ(tariffoptions::atoi(QStringLiteral("  -5x")), -5);
    EXPECT_EQ(tariffoptions::atoi(QStringLiteral("+12")), 12);
    EXPECT_EQ(tariffoptions::atoi(QStringLiteral("a5")), 0);
    EXPECT_EQ(tariffoptions::atoi(QStringLiteral("99999999999")), 2147483647);
    EXPECT_EQ(tariffoptions::atoi(QStringLiteral("-99999999999")), -2147483647 - 1);

    using tariffoptions::HourOutOfRange;
    using tariffoptions::NotADigit;
    struct Case {
        const char* text;
        bool hour;
        int problems;
    } cases[] = {
        {"", true, 0},
        {"0", true, 0},
        {"23", true, 0},
        {"24", true, HourOutOfRange},
        {"24", false, 0},
        {"-5", true, HourOutOfRange | NotADigit},
        {"-5", false, NotADigit},
        {"5a", false, NotADigit},
        {"1.5", false, NotADigit},
        {"150", false, 0},
        {" 5", false, NotADigit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tariffoptions::numberProblems(q(c.text), c.hour), c.problems);
    }
    EXPECT_EQ(tariffoptions::slotDayKey(0), QStringLiteral("0"));
    EXPECT_EQ(tariffoptions::slotDayKey(6), QStringLiteral("6"));
    EXPECT_EQ(tariffoptions::slotDayKey(7), q(rk::kHolidayDay));
}

TEST(TariffOptionsLogic, NamesAndTheProfileANameFinds)
{
    // A backslash would make the profile's key a path.
    EXPECT_TRUE(tariffoptions::isUsableTariffName(q("Night / weekend")));
    EXPECT_FALSE(tariffoptions::isUsableTariffName(q("a\\b")));
    EXPECT_EQ(tariffoptions::profileKey(q("Cheap")), q(rk::kTariffProfile) + q("\\Cheap"));

    // Names compare exactly; of two profiles with one name the later one is found.
    const tariffoptions::TariffProfile profiles[] = {{q("Day"), 1}, {q("day"), 2}, {q("Day"), 3}};
    EXPECT_EQ(tariffoptions::findProfile(profiles, 3, q("Day"))->StartingInterval, 3);
    EXPECT_EQ(tariffoptions::findProfile(profiles, 2, q("Day"))->StartingInterval, 1);
    EXPECT_EQ(tariffoptions::findProfile(profiles, 3, q("day"))->StartingInterval, 2);
    EXPECT_EQ(tariffoptions::findProfile(profiles, 3, q("Night")), nullptr);
    EXPECT_EQ(tariffoptions::findProfile(profiles, 0, q("Day")), nullptr);
}

}  // namespace
