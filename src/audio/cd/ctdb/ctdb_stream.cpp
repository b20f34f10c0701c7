#include "ctdb_stream.h"

#include <algorithm>

#include "audio/core/crc32.h"
#include "ctdb_code.h"
#include "ctdb_crc.h"

namespace sonfeld::ctdb {

CtdbLayout CtdbLayout::FromToc(const CtdbToc& toc)
{
    CtdbLayout layout;
    layout.samples = static_cast<std::int64_t>(toc.AudioSectors()) * kSamplesPerSector;
    for (const int start : toc.AudioTrackStarts())
        layout.trackStarts.push_back(static_cast<std::int64_t>(start) * kSamplesPerSector);
    return layout;
}

std::optional<std::pair<std::int64_t, std::int64_t>>
CtdbLayout::TrackWindow(std::size_t track) const
{
    const std::size_t count = trackStarts.size();
    if (track >= count)
        return std::nullopt;
    std::int64_t begin = trackStarts[track];
    std::int64_t end = track + 1 < count ? trackStarts[track + 1] : samples;
    if (track == 0)
        begin += kStrideSamples;
    if (track + 1 == count)
        end -= Suffix();
    if (end <= begin)
        return std::nullopt;
    return std::pair{begin, end};
}

CtdbStreamAnalysis::CtdbStreamAnalysis(CtdbLayout layout, int npar)
    : layout_(std::move(layout)), npar_(std::clamp(npar, 1, kMaxNpar))
{
    rows_ = static_cast<int>(layout_.samples * 2 / kStrideWords);
    if (layout_.trackStarts.empty() || layout_.trackStarts.front() != 0 ||
        !std::is_sorted(layout_.trackStarts.begin(), layout_.trackStarts.end()) ||
        layout_.trackStarts.back() >= layout_.samples) {
        layoutError_ = "track starts outside the audio";
        return;
    }
    if (rows_ < 3 || layout_.DataRows() + 16 > 65535) {
        layoutError_ = "audio length outside what the database covers";
        return;
    }
    // Where the running CRC is remembered: near both ends of the disc window
    // and near every boundary between tracks.
    const std::int64_t n = layout_.samples;
    std::vector<std::pair<std::int64_t, std::int64_t>> wanted{
        {0, 2 * kStrideSamples},
        {n - layout_.Suffix() - kStrideSamples, n - layout_.Suffix() + kStrideSamples}};
    for (std::size_t t = 1; t < layout_.trackStarts.size(); ++t)
        wanted.emplace_back(layout_.trackStarts[t] - kStrideSamples,
                            layout_.trackStarts[t] + kStrideSamples);
    for (auto& [first, last] : wanted) {
        first = std::clamp<std::int64_t>(first, 0, n);
        last = std::clamp<std::int64_t>(last, 0, n);
    }
    std::sort(wanted.begin(), wanted.end());
    for (const auto& [first, last] : wanted) {
        if (!intervals_.empty()) {
            Interval& back = intervals_.back();
            const std::int64_t backLast =
                back.first + static_cast<std::int64_t>(back.values.size()) - 1;
            if (first <= backLast + 1) {
                if (last > backLast)
                    back.values.resize(static_cast<std::size_t>(last - back.first + 1));
                continue;
            }
        }
        intervals_.push_back(
            {first, std::vector<std::uint32_t>(static_cast<std::size_t>(last - first + 1))});
    }
    syndromes_.assign(static_cast<std::size_t>(kStrideWords) * static_cast<std::size_t>(npar_), 0);
    multiplyLow_.resize(static_cast<std::size_t>(npar_) * 256);
    multiplyHigh_.resize(static_cast<std::size_t>(npar_) * 256);
    for (int i = 0; i < npar_; ++i)
        for (std::size_t b = 0; b < 256; ++b) {
            const std::uint16_t a = gf::Exp(i);
            const std::size_t at = static_cast<std::size_t>(i) * 256 + b;
            multiplyLow_[at] = gf::Mul(a, static_cast<std::uint16_t>(b));
            multiplyHigh_[at] = gf::Mul(a, static_cast<std::uint16_t>(b << 8));
        }
}

bool CtdbStreamAnalysis::Complete() const
{
    return layoutError_.empty() && bytesSeen_ == layout_.samples * 4;
}

void CtdbStreamAnalysis::Update(const std::uint8_t* data, std::size_t size)
{
    if (!layoutError_.empty() || size == 0)
        return;
    const std::int64_t total = layout_.samples * 4;
    const std::int64_t start = bytesSeen_;
    // Running CRC, remembered at every wanted sample position.
    std::size_t done = 0;
    while (done < size) {
        const std::int64_t at = start + static_cast<std::int64_t>(done);
        std::int64_t next = total + 1; // next byte position whose prefix CRC is wanted
        while (nextInterval_ < intervals_.size()) {
            const Interval& interval = intervals_[nextInterval_];
            const std::int64_t last =
                interval.first + static_cast<std::int64_t>(interval.values.size()) - 1;
            if (last * 4 < at) {
                ++nextInterval_;
                continue;
            }
            next = std::max(interval.first * 4, (at + 3) / 4 * 4);
            break;
        }
        if (next == at) {
            Interval& interval = intervals_[nextInterval_];
            interval.values[static_cast<std::size_t>(at / 4 - interval.first)] = ~crcState_;
        }
        std::size_t piece = size - done;
        if (next > at)
            piece = std::min<std::size_t>(piece, static_cast<std::size_t>(next - at));
        else
            piece = std::min<std::size_t>(piece, 4);
        // The running state is kept without its final inversion.
        crcState_ = ~Crc32(~crcState_, data + done, piece);
        done += piece;
    }
    // The final position (N samples) when it is wanted.
    bytesSeen_ += static_cast<std::int64_t>(size);
    if (bytesSeen_ == total && !intervals_.empty()) {
        Interval& back = intervals_.back();
        if (back.first + static_cast<std::int64_t>(back.values.size()) - 1 == layout_.samples)
            back.values.back() = ~crcState_;
    }
    if (bytesSeen_ > total)
        return;

    // Words, with a byte carried over between odd-sized pieces.
    std::size_t at = 0;
    if (hasCarry_) {
        const std::uint8_t pair[2] = {carry_, data[0]};
        AddWords(pair, 1);
        hasCarry_ = false;
        at = 1;
    }
    const std::size_t words = (size - at) / 2;
    AddWords(data + at, words);
    if (at + 2 * words < size) {
        carry_ = data[size - 1];
        hasCarry_ = true;
    }
}

void CtdbStreamAnalysis::AddWords(const std::uint8_t* bytes, std::size_t words)
{
    std::int64_t word = wordsAdded_;
    const int dataRows = layout_.DataRows();
    const std::int64_t tailFrom = static_cast<std::int64_t>(dataRows) * kStrideWords;
    for (std::size_t n = 0; n < words; ++n, ++word) {
        const auto value = static_cast<std::uint16_t>(bytes[2 * n] | (bytes[2 * n + 1] << 8));
        if (word < 2 * kStrideWords)
            head_.push_back(value);
        if (word >= tailFrom)
            tail_.push_back(value);
        const std::int64_t row = word / kStrideWords;
        if (row < 1 || row > dataRows)
            continue;
        const auto column = static_cast<std::size_t>(word % kStrideWords);
        std::uint16_t* s = &syndromes_[column * static_cast<std::size_t>(npar_)];
        const std::uint16_t* low = multiplyLow_.data();
        const std::uint16_t* high = multiplyHigh_.data();
        for (int i = 0; i < npar_; ++i, low += 256, high += 256) {
            const std::uint16_t v = s[i];
            s[i] = static_cast<std::uint16_t>(low[v & 0xFF] ^ high[v >> 8] ^ value);
        }
    }
    wordsAdded_ = word;
}

std::uint16_t CtdbStreamAnalysis::HeadWord(std::int64_t index) const
{
    return head_[static_cast<std::size_t>(index)];
}

std::uint16_t CtdbStreamAnalysis::TailWord(std::int64_t index) const
{
    return tail_[static_cast<std::size_t>(index - static_cast<std::int64_t>(layout_.DataRows()) *
                                                      kStrideWords)];
}

std::uint32_t CtdbStreamAnalysis::PrefixCrc(std::int64_t sample) const
{
    auto it = std::upper_bound(intervals_.begin(), intervals_.end(), sample,
                               [](std::int64_t s, const Interval& i) { return s < i.first; });
    // Callers only ask for positions inside the remembered intervals.
    --it;
    return it->values[static_cast<std::size_t>(sample - it->first)];
}

std::uint32_t CtdbStreamAnalysis::RangeCrc(std::int64_t beginSample, std::int64_t endSample) const
{
    return CrcOfRange(PrefixCrc(beginSample), PrefixCrc(endSample),
                      static_cast<std::uint64_t>(endSample - beginSample) * 4);
}

std::int64_t CtdbStreamAnalysis::DiscWindowBegin(int offset) const
{
    return (kStrideSamples + static_cast<std::int64_t>(offset)) * 4;
}

std::int64_t CtdbStreamAnalysis::DiscWindowEnd(int offset) const
{
    return (layout_.samples - layout_.Suffix() + offset) * 4;
}

std::uint32_t CtdbStreamAnalysis::DiscCrc(int offset) const
{
    return RangeCrc(DiscWindowBegin(offset) / 4, DiscWindowEnd(offset) / 4);
}

std::uint32_t CtdbStreamAnalysis::TrackCrc(std::size_t track, int offset) const
{
    const auto window = layout_.TrackWindow(track);
    return window ? RangeCrc(window->first + offset, window->second + offset) : 0;
}

void CtdbStreamAnalysis::Syndromes(int offset, int column, int count, std::uint16_t* out) const
{
    const int rows = layout_.DataRows();
    int shifted = column + 2 * offset;
    const auto at = [this](int c) {
        return &syndromes_[static_cast<std::size_t>(c) * static_cast<std::size_t>(npar_)];
    };
    if (shifted >= 0 && shifted < kStrideWords) {
        std::copy_n(at(shifted), count, out);
        return;
    }
    if (shifted >= kStrideWords) {
        // Rows 2..L+1 of the column: one row later than the table.
        shifted -= kStrideWords;
        const std::uint16_t* s = at(shifted);
        const std::uint16_t added =
            TailWord(static_cast<std::int64_t>(rows + 1) * kStrideWords + shifted);
        const std::uint16_t dropped = HeadWord(kStrideWords + shifted);
        for (int i = 0; i < count; ++i)
            out[i] = static_cast<std::uint16_t>(
                gf::Mul(gf::Exp(i), s[i]) ^ added ^
                gf::Mul(gf::Exp(static_cast<long long>(i) * rows), dropped));
        return;
    }
    // Rows 0..L-1: one row earlier.
    shifted += kStrideWords;
    const std::uint16_t* s = at(shifted);
    const std::uint16_t dropped =
        TailWord(static_cast<std::int64_t>(rows) * kStrideWords + shifted);
    const std::uint16_t added = HeadWord(shifted);
    for (int i = 0; i < count; ++i)
        out[i] = gf::Mul(
            gf::Exp(-i),
            static_cast<std::uint16_t>(s[i] ^ dropped ^
                                       gf::Mul(gf::Exp(static_cast<long long>(i) * rows), added)));
}

} // namespace sonfeld::ctdb
