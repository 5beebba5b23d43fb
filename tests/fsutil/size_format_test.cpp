#include <gtest/gtest.h>

#include "SizeFormat.h"

TEST(SizeFormat, ThresholdsAreStrictAndUnitsArePowersOf1024)
{
    EXPECT_EQ(FormatSize(0), "0 bytes");
    EXPECT_EQ(FormatSize(1), "1 bytes");
    EXPECT_EQ(FormatSize(1024), "1024 bytes");
    EXPECT_EQ(FormatSize(1025), "1.0 KB");
    EXPECT_EQ(FormatSize(1536), "1.5 KB");
    EXPECT_EQ(FormatSize(1048576), "1024.0 KB");
    EXPECT_EQ(FormatSize(1048577), "1.0 MB");
    EXPECT_EQ(FormatSize(1073741824LL), "1024.0 MB");
    EXPECT_EQ(FormatSize(1073741825LL), "1.0 GB");
    EXPECT_EQ(FormatSize(1LL << 40), "1024.0 GB");
    EXPECT_EQ(FormatSize(16008609792LL), "14.9 GB");
}

TEST(SizeFormat, NegativeCountsShowTheLow32BitsAsSigned)
{
    EXPECT_EQ(FormatSize(-1), "-1 bytes");
    EXPECT_EQ(FormatSize(-2147483648LL), "-2147483648 bytes");
    // -2^32 - 5 has low 32 bits 0xFFFFFFFB.
    EXPECT_EQ(FormatSize(-4294967301LL), "-5 bytes");
}
