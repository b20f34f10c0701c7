#pragma once

#include <string>

namespace sonfeld::cdrip {

// Replaces libcdio's log handler, which ends the process on an error (while
// this library holds its lock, so the exit handlers then wait for ever). Ours
// keeps the last error for the caller and returns. Call once before using libcdio.
void InstallCdioLogHandler();

// The last error or warning libcdio logged since ClearCdioLog, or empty.
std::string LastCdioMessage();
void ClearCdioLog();

} // namespace sonfeld::cdrip
