#include "TestEnvironment.h"
#include "platform/GuardedCoreApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    pw::test::IsolateHome();
    ::testing::InitGoogleTest(&argc, argv);
    pw::platform::GuardedCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
