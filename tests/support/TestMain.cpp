// One main for every non-GUI test program: the tests run with a home folder, settings,
// trash and caches of their own, in UTC and the C locale, so they never touch the user's
// files and their time texts are the same on every machine.
#include "TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    const kalvex::test::PrivateHome home;
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
