#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
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

// Runs the event loop, a step at most every stepMs, until done() or timeoutMs
// have passed; true when done.
inline bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs, int stepMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, stepMs);
        QThread::msleep(2);
    }
    return true;
}

} // namespace sonfeld::test
