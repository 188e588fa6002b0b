// Entry point of every test program: a Qt application object exists for the whole run, so
// timers, sockets and (in GUI test programs) widgets work inside the tests.
#include <gtest/gtest.h>
#ifdef TW_TEST_GUI
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Where the tests find their data files and the built programs.
    if (qEnvironmentVariableIsEmpty("TW_SOURCE_DIR"))
        qputenv("TW_SOURCE_DIR", TW_TEST_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("TW_BINARY_DIR"))
        qputenv("TW_BINARY_DIR", TW_TEST_BINARY_DIR);
    TestApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
