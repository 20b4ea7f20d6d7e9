#include <QApplication>

#include <gtest/gtest.h>

// Every test executable runs with a QApplication on the GUI (main) thread.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
