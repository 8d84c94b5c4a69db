// Events of the serial component reach the thread that owns it through the Qt
// event loop, so these tests run inside a QCoreApplication.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
