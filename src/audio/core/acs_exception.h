#pragma once

#include <stdexcept>
#include <string>

namespace sonfeld {

// The error class of the pipeline, the CD components and the outputs. It
// carries an English message only; the UI shows it as it stands. The
// subclasses below say what kind of thing failed, so a caller can tell a
// missing library from a full disk without reading the text.
class EACSException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A library loaded at run time is missing or lacks an entry point.
class ELibraryNotLoaded : public EACSException {
public:
    using EACSException::EACSException;
};

// A file could not be created, written, flushed or closed (a full disk, no permission).
class EWriteFailed : public EACSException {
public:
    using EACSException::EACSException;
};

// A file or a source could not be opened or read.
class EReadFailed : public EACSException {
public:
    using EACSException::EACSException;
};

// A setting or an input format the component cannot work with.
class EBadSettings : public EACSException {
public:
    using EACSException::EACSException;
};

} // namespace sonfeld
