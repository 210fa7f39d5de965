#include "text/NumberText.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(NumberPatterns, FixedDecimals)
{
    EXPECT_EQ(formatFixed(42.333, 1), "42.3");
    EXPECT_EQ(formatFixed(2.0, 2), "2.00");
    EXPECT_EQ(formatFixed(0.0004, 3), "0.000");
    EXPECT_EQ(formatFixed(-0.0004, 2), "0.00") << "no negative zero";
    EXPECT_EQ(formatFixed(-1.25, 1), "-1.2");
    EXPECT_EQ(formatFixed(1234567.891, 0), "1234568");
}

TEST(NumberPatterns, OptionalDecimals)
{
    EXPECT_EQ(formatOptional(0.5, 1, 2), "0.5");
    EXPECT_EQ(formatOptional(0.125, 1, 3), "0.125");
    EXPECT_EQ(formatOptional(2.0, 1, 3), "2.0");
    EXPECT_EQ(formatOptional(2.0, 0, 3), "2");
    EXPECT_EQ(formatOptional(0.1239, 1, 3), "0.124");
}

} // namespace
} // namespace vex
