#include <gtest/gtest.h>

#include "drive_identity.h"

namespace {

// IDENTIFY gives "WD-WCAZA1234567" (trimmed); descriptors give it in every
// form that drivers are known to use.
TEST(DriveIdentityTest, FormsOfOneDriveMatchAndOthersDoNot)
{
    const char* identify = "WD-WCAZA1234567";
    EXPECT_TRUE(SameSerial(identify, "     WD-WCAZA1234567"));
    EXPECT_TRUE(SameSerial(identify, "    W -DCWZA1A325476"));  // pairs swapped, padding kept
    // Hexadecimal of the sector's bytes, pairs still swapped: the worst form.
    EXPECT_TRUE(SameSerial("2020202057202D4443575A413141333235343736", identify));
    EXPECT_FALSE(SameSerial("2020202057202D4443575A413141333235343737", identify));
    EXPECT_FALSE(SameSerial(identify, "WD-WCAZA1234568"));
    EXPECT_FALSE(SameSerial("", ""));
    EXPECT_FALSE(SameSerial("ABC", "41424"));  // odd number of digits
    EXPECT_FALSE(SameSerial("AB", "0102"));    // decodes to no text

    // Models compare on sixteen characters, without the "ATA" vendor.
    EXPECT_TRUE(SameModel("WDC WD20EZRX-00D8PB0", "ATA     WDC WD20EZRX-00D"));
    EXPECT_TRUE(SameModel("ST4000VN000-1H4168", "ST4000VN000-1H41"));
    EXPECT_FALSE(SameModel("ST4000VN000-1H4168", "ATA     ST4000VN000-2H41"));
    EXPECT_FALSE(SameModel("", "ATA "));
    EXPECT_TRUE(SameDriveIdentity("SAMSUNG HD501LJ", "S0MUJ1EP", "ATA     SAMSUNG HD501LJ", "0SUM1JPE"));
}

}  // namespace
