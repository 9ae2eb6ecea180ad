#include <gtest/gtest.h>

extern "C" int somavibCClientRun(void);

TEST(SomavibCClient, UsesTheExportsThroughThePublicHeader) {
    EXPECT_EQ(somavibCClientRun(), 1);
}
