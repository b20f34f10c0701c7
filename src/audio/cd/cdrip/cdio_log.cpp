#include "cdio_log.h"

#include <mutex>

#include <cdio/logging.h>

namespace sonfeld::cdrip {

namespace {

std::mutex& MessageLock()
{
    static std::mutex lock;
    return lock;
}

std::string& Message()
{
    static std::string message;
    return message;
}

void KeepMessage(cdio_log_level_t level, const char* message)
{
    if (level < CDIO_LOG_WARN || message == nullptr)
        return;
    std::lock_guard guard(MessageLock());
    Message() = message;
}

} // namespace

void InstallCdioLogHandler()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(KeepMessage); });
}

std::string LastCdioMessage()
{
    std::lock_guard guard(MessageLock());
    return Message();
}

void ClearCdioLog()
{
    std::lock_guard guard(MessageLock());
    Message().clear();
}

} // namespace sonfeld::cdrip
