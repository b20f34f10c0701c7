#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "app/text/message.h"
#include "audio/cd/verify/accuraterip_verdict.h"

namespace sonfeld::app {

// What one database says about a ripped track (or the whole disc).
enum class TDatabaseStatus {
    NotChecked,    // not asked: no checksums, the lookup not answered, or nothing to compare
    Accurate,      // it holds these sums; Confidence says how many rips agree
    Mismatch,      // it knows the disc, not these sums
    NotInDatabase, // it does not know the disc (or has no entry for the track)
    NoConnection,  // it could not be asked, or answered nonsense
};

struct TDatabaseVerdict {
    TDatabaseStatus Status = TDatabaseStatus::NotChecked;
    int Confidence = 0; // with Accurate
    // AccurateRip's: which of its sums matched.
    verify::AccurateRipVersion Version = verify::AccurateRipVersion::None;
    // The CTDB's: the alignment, in samples, at which its audio is the rip's
    // (the entry's audio is the rip's from this many samples on).
    int Offset = 0;

    bool Accurate() const { return Status == TDatabaseStatus::Accurate; }
    bool operator==(const TDatabaseVerdict&) const = default;
};

TDatabaseVerdict FromAccurateRip(const verify::AccurateRipVerdict& verdict);

// Whether a track's audio is proven right, and by what.
enum class TReadProofStatus {
    Unproven,              // nothing confirms it
    ProvenByDatabase,      // AccurateRip or the CTDB holds its sums
    ProvenByAgreeingReads, // two independent reads gave the same audio
    Suspicious,            // reads disagreed and nothing settled it
};

struct TReadProof {
    TReadProofStatus Status = TReadProofStatus::Unproven;
    // Suspicious: the sectors that never read alike (LSNs), when known.
    std::vector<qint64> Sectors;

    bool Proven() const
    {
        return Status == TReadProofStatus::ProvenByDatabase ||
               Status == TReadProofStatus::ProvenByAgreeingReads;
    }
};

// The CRC32s of the reads of a track before the one kept.
struct TEarlierReads {
    std::optional<quint32> Fast; // a fast read that was discarded
    std::optional<quint32> Test; // test and copy's test read
};

// Everything known about a ripped track's correctness.
struct TTrackVerdict {
    TDatabaseVerdict AccurateRip;
    TDatabaseVerdict Ctdb;
    TReadProof Proof;
    // Test and copy read it twice and the two CRCs differ.
    bool CopyMismatch = false;
};

// What proves a track read whole with this CRC32: a database that holds it,
// else another read that agrees (or the reader's own agreeing passes, or an
// image's files); reads that disagree, or blocks that never read alike, make
// it suspicious (the reader's own: a report of such blocks, sectors their LSNs
// where known).
TReadProof ProveRead(const TTrackVerdict& verdict, bool complete, quint32 crc,
                     const std::vector<quint32>& otherReads, bool readerProven,
                     bool readerSuspicious, const std::vector<qint64>& sectors);

// "精确 (可信度 N)", "不匹配", "数据库中无此光盘" or "无法连接"; empty when not checked.
TMessage AccurateRipText(const TDatabaseVerdict& verdict);
// "CTDB 精确 (可信度 N)" ("CTDB 精确 (可信度 N, 偏移 +48)" at another alignment),
// "CTDB 不匹配", "CTDB 无此光盘" or "无法连接"; empty when not checked.
TMessage CtdbText(const TDatabaseVerdict& verdict);
// The "校验" cell and the command line's verdict: AccurateRip's text, then
// " · " and the CTDB's when the CTDB answered ("精确 (可信度 5) · CTDB 精确
// (可信度 12)"); a CTDB that could not be reached is left to the log. Test and
// copy CRCs that differ add "；测试与复制 CRC 不一致", a suspicious read "；可疑".
TMessage VerdictCellText(const TTrackVerdict& verdict);
// The log's: "两次读取一致", "数据库确认", "未经证实" or "可疑".
QString ReadProofText(const TReadProof& proof);

} // namespace sonfeld::app
