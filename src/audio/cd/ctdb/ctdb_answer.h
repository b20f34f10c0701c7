#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ctdb_toc.h"

namespace sonfeld::ctdb {

// One entry of a lookup answer: a rip variant of the disc and how many
// submissions agree with it.
struct CtdbEntry {
    std::uint64_t id = 0;
    std::uint32_t crc32 = 0; // disc CRC at the entry's alignment
    int confidence = 0;
    int npar = 0;       // syndromes the recovery data holds per column
    int stride = 0;     // samples; anything but 5880 cannot match
    std::string parity; // recovery data address as given (absolute or a path); empty: none
    // Column-0 syndromes (at most 16), from `syndrome` or converted from a
    // legacy `parity`; empty when the entry has neither.
    std::vector<std::uint16_t> syndromes;
    std::vector<std::uint32_t> trackCrcs; // may be empty
    std::string tocText;
    CtdbToc toc;
};

struct CtdbAnswer {
    std::vector<CtdbEntry> entries;
    int skippedEntries = 0; // entries without a usable toc or with malformed values
    std::string error;      // empty when the document was read

    bool Ok() const { return error.empty(); }
    int TotalConfidence() const;
};

// Answers larger than this are not lookup answers.
constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;
constexpr std::size_t kMaxEntries = 1000;

// Reads a lookup answer: a <ctdb> root (namespace-checked) with <entry/>
// children and anything else ignored. Strict: malformed XML, a document type
// declaration, entity references other than the five predefined and numeric
// ones, nesting deeper than 32 or input beyond the caps are errors.
CtdbAnswer ParseCtdbAnswer(const char* data, std::size_t size);

// Standard base64 with '=' padding; nothing when malformed.
std::optional<std::vector<std::uint8_t>> DecodeBase64(const std::string& text);

} // namespace sonfeld::ctdb
