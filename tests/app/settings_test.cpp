#include <gtest/gtest.h>

#include "app/settings.h"

TEST(IntToText, DecimalWithSign)
{
    EXPECT_EQ(IntToText(0), QStringLiteral("0"));
    EXPECT_EQ(IntToText(-12), QStringLiteral("-12"));
}
