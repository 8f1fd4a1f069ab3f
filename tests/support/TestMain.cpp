#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    fz::test::detail::SetUpIsolatedEnvironment();
    const int result = RUN_ALL_TESTS();
    fz::test::detail::TearDownIsolatedEnvironment();
    return result;
}
