#include <QCoreApplication>

#include <gtest/gtest.h>

// The converter link's time-out timer and the serial component's events need
// an application object and its event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
