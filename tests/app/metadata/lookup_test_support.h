#pragma once

#include <QCoreApplication>

#include <functional>

#include "support/core_application.h"

namespace sonfeld::app::metadata::test {

// Qt networking and the test server's thread need the application object.
inline QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("metadata_lookup_test");
}

// Runs the event loop until done() or the time is up; true when done.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000)
{
    return sonfeld::test::RunEventsUntil(done, timeoutMs, 10);
}

} // namespace sonfeld::app::metadata::test
