#pragma once

#include <stdexcept>
#include <string>

namespace sonfeld {

// The one error class of the pipeline, the CD components and the outputs.
// It carries an English message only; the UI shows it as it stands.
class EACSException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace sonfeld
