#pragma once

#include <functional>
#include <string>

#include "audio/core/acs_exception.h"

namespace sonfeld::test {

// The message of the component error action raises, or "(nothing raised)".
inline std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EACSException& e) {
        return e.what();
    }
    return "(nothing raised)";
}

} // namespace sonfeld::test
