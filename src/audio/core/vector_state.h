#pragma once

namespace sonfeld {

// Marks the upper halves of the AVX registers unused (vzeroupper) on CPUs
// that have them; does nothing elsewhere. A thread inherits its creator's
// vector state, and once any library (Qt's string hashing does) leaves the
// upper halves in use, SSE code such as the codec libraries' pays a penalty
// on every transition. Called first thing on every worker thread, and on the
// UI thread before a codec library's set-up.
void ClearVectorState();

} // namespace sonfeld
