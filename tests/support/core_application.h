#pragma once

#include <QCoreApplication>
#include <string>

namespace sonfeld::test {

// The process's application object, made by the first call under that call's
// name: Qt's networking, its timers and the test server's thread need one.
inline QCoreApplication& CoreApplication(const char* name)
{
    static int argc = 1;
    static std::string stored = name;
    static char* argv[] = {stored.data(), nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

} // namespace sonfeld::test
