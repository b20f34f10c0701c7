#include "cue_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cue_sheet.h"
#include "embedded_sheet.h"

namespace sonfeld::disc {

namespace {

// Far beyond any sheet; a larger file is something else.
constexpr std::uintmax_t kMaxSheetBytes = 1 << 20;
// Sectors between the audio of one session and the next session's first track:
// a lead-out and a lead-in, plus the track's own 150-sector pregap.
constexpr std::int64_t kLaterSessionGapSectors = 6900;

std::filesystem::path Resolve(const std::filesystem::path& folder, const std::string& name)
{
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    const std::filesystem::path given(portable);
    std::filesystem::path path = given.is_absolute() ? given : folder / given;
    std::error_code error;
    if (std::filesystem::exists(path, error) || given.is_absolute())
        return path;
    // Sheets written on systems that ignore case often spell the name differently.
    const std::filesystem::path parent = path.parent_path();
    const std::string wanted = path.filename().string();
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (std::filesystem::directory_iterator it(parent, error), end; !error && it != end;
         it.increment(error)) {
        if (lower(it->path().filename().string()) == lower(wanted))
            return it->path();
    }
    return path;
}

// mm:ss:ff of a sector count, with as many minutes as it takes.
std::string DiscLengthText(std::int64_t sectors)
{
    auto two = [](std::int64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    return two(sectors / (60 * kSectorsPerSecond)) + ":" + two(sectors / kSectorsPerSecond % 60) +
           ":" + two(sectors % kSectorsPerSecond);
}

} // namespace

std::string ReadSheetBytes(const std::filesystem::path& sheet)
{
    const std::string shown = sheet.string();
    CheckReadableFile(sheet, shown);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(sheet, error);
    if (error || size > kMaxSheetBytes)
        throw DiscError("\"" + shown + "\" is too large to be a CUE sheet.");
    std::ifstream in(sheet, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw DiscError("\"" + shown + "\" cannot be read.");
    return bytes;
}

std::unique_ptr<CueImage> CueImage::Open(const std::filesystem::path& sheetPath,
                                         const std::string& encoding)
{
    return FromSheet(ParseCueSheet(ReadSheetBytes(sheetPath), encoding), sheetPath.parent_path(),
                     nullptr);
}

std::unique_ptr<CueImage> CueImage::OpenEmbedded(const std::filesystem::path& audio,
                                                 const std::string& encoding)
{
    const std::string shown = audio.string();
    CheckReadableFile(audio, shown);
    const std::string bytes = ReadEmbeddedSheet(audio);
    if (bytes.empty())
        throw DiscError("\"" + shown + "\" holds no CUE sheet.");
    const CueSheet sheet = ParseCueSheet(bytes, encoding);
    if (sheet.files.size() != 1)
        throw DiscError("The CUE sheet in \"" + shown + "\" names more than one file.");
    return FromSheet(sheet, audio.parent_path(), &audio);
}

std::unique_ptr<CueImage> CueImage::FromSheet(const CueSheet& sheet,
                                              const std::filesystem::path& folder,
                                              const std::filesystem::path* onlyFile)
{
    std::unique_ptr<CueImage> image(new CueImage);
    image->encoding_ = sheet.encoding;

    std::vector<int> sectorBytes(sheet.files.size(), 0);
    for (const CueTrack& track : sheet.tracks) {
        for (const CueIndex& index : track.indexes) {
            int& bytes = sectorBytes[static_cast<std::size_t>(index.file)];
            if (bytes != 0 && bytes != track.sectorBytes)
                throw DiscError("\"" + sheet.files[static_cast<std::size_t>(index.file)].name +
                                "\" holds tracks of different sector sizes.");
            bytes = track.sectorBytes;
        }
    }
    std::vector<std::string> names;
    for (std::size_t f = 0; f < sheet.files.size(); ++f) {
        const CueFile& file = sheet.files[f];
        if (sectorBytes[f] == 0)
            sectorBytes[f] = kSectorBytes;
        auto opened =
            onlyFile != nullptr
                ? OpenImageFile(*onlyFile, CueFileType::Wave, onlyFile->filename().string())
                : OpenImageFile(Resolve(folder, file.name), file.type, file.name);
        if (onlyFile == nullptr && file.type != CueFileType::Wave &&
            opened->Bytes() % sectorBytes[f] != 0)
            throw DiscError(IncompleteMessage(file.name, 1));
        image->files_.push_back(std::move(opened));
        names.push_back(file.name);
    }
    image->sectorBytes_ = sectorBytes;
    image->Build(sheet, names, sectorBytes);
    return image;
}

void CueImage::Build(const CueSheet& sheet, const std::vector<std::string>& names,
                     const std::vector<int>& sectorBytes)
{
    std::vector<std::int64_t> fileSectors;
    for (std::size_t f = 0; f < files_.size(); ++f) {
        const std::int64_t bytes = files_[f]->Bytes();
        fileSectors.push_back((bytes + sectorBytes[f] - 1) / sectorBytes[f]);
    }

    std::int64_t lsn = 0;
    int file = -1;
    std::int64_t pos = 0;
    auto emit = [&](int from, std::int64_t first, std::int64_t count) {
        if (count <= 0)
            return;
        if (lsn + count > kMaxDiscSectors)
            throw DiscError("The CUE sheet describes a disc of " + DiscLengthText(lsn + count) +
                            ", longer than a CD can be (99:59:74).");
        segments_.push_back(
            {static_cast<std::int32_t>(lsn), static_cast<std::int32_t>(count), from, first});
        lsn += count;
    };
    auto advanceTo = [&](int target) {
        while (file < target) {
            if (file >= 0)
                emit(file, pos, fileSectors[static_cast<std::size_t>(file)] - pos);
            ++file;
            pos = 0;
        }
    };

    const int firstSession = sheet.tracks.front().session;
    int session = firstSession;
    std::vector<std::int64_t> sessionEnds; // lsn where each finished session's data ends
    model_.tracks.clear();
    for (std::size_t t = 0; t < sheet.tracks.size(); ++t) {
        const CueTrack& cue = sheet.tracks[t];
        Track track;
        track.number = cue.number;
        track.data = cue.data;
        track.session = cue.session - firstSession + 1;
        track.preEmphasis = cue.preEmphasis;
        track.copyPermitted = cue.copyPermitted;
        track.fourChannel = cue.fourChannel;
        track.isrc = cue.isrc;
        track.text = cue.text;
        std::int64_t startLsn = -1;
        for (std::size_t k = 0; k < cue.indexes.size(); ++k) {
            const CueIndex& index = cue.indexes[k];
            const auto f = static_cast<std::size_t>(index.file);
            if (index.file < file)
                throw DiscError("The indexes of the CUE sheet go backwards at track " +
                                std::to_string(cue.number) + ".");
            advanceTo(index.file);
            if (index.sector >= fileSectors[f])
                throw DiscError(IncompleteMessage(names[f], index.sector - fileSectors[f] + 1));
            if (index.sector < pos)
                throw DiscError("The indexes of the CUE sheet go backwards at track " +
                                std::to_string(cue.number) + ".");
            emit(index.file, pos, index.sector - pos);
            pos = index.sector;
            if (k == 0) {
                if (t > 0)
                    emit(-1, 0, sheet.tracks[t - 1].postgapSectors);
                if (cue.session > session) {
                    sessionEnds.push_back(lsn);
                    std::int64_t ownPregap = cue.pregapSectors;
                    if (cue.indexes.size() > 1 && cue.indexes[0].number == 0 &&
                        cue.indexes[1].file == cue.indexes[0].file)
                        ownPregap += cue.indexes[1].sector - cue.indexes[0].sector;
                    const std::int64_t gap =
                        sessionEnds.size() == 1 ? kSessionGapSectors : kLaterSessionGapSectors;
                    emit(-1, 0, std::max<std::int64_t>(gap - ownPregap, 0));
                    session = cue.session;
                }
                track.pregapLsn = static_cast<std::int32_t>(lsn);
                emit(-1, 0, cue.pregapSectors);
            }
            if (index.number == 1)
                startLsn = lsn;
        }
        track.startLsn = static_cast<std::int32_t>(startLsn);
        model_.tracks.push_back(track);
    }
    advanceTo(static_cast<int>(files_.size()));
    emit(-1, 0, sheet.tracks.back().postgapSectors);
    model_.leadOutLsn = static_cast<std::int32_t>(lsn);

    // Each track runs to the next one's INDEX 01, or to the end of its session.
    std::size_t boundary = 0;
    for (std::size_t t = 0; t < model_.tracks.size(); ++t) {
        Track& track = model_.tracks[t];
        const bool lastOfSession =
            t + 1 == model_.tracks.size() || model_.tracks[t + 1].session != track.session;
        if (!lastOfSession)
            track.endLsn = model_.tracks[t + 1].startLsn;
        else if (boundary < sessionEnds.size())
            track.endLsn = static_cast<std::int32_t>(sessionEnds[boundary++]);
        else
            track.endLsn = model_.leadOutLsn;
        if (track.Sectors() <= 0)
            throw DiscError("Track " + std::to_string(track.number) +
                            " of the CUE sheet holds no sectors.");
    }
    // An audio file that ends inside a sector: the track ending with it is
    // padded with silence there.
    for (std::size_t f = 0; f < files_.size(); ++f) {
        const std::int64_t missing = fileSectors[f] * sectorBytes[f] - files_[f]->Bytes();
        if (missing <= 0 || sectorBytes[f] != kSectorBytes)
            continue;
        for (const Segment& segment : segments_) {
            if (segment.file != static_cast<int>(f) ||
                segment.fileSector + segment.sectors != fileSectors[f])
                continue;
            for (Track& track : model_.tracks) {
                if (!track.data && track.endLsn == segment.lsn + segment.sectors)
                    track.paddingSamples = static_cast<std::int32_t>(missing / 4);
            }
        }
    }
    model_.firstSessionEndLsn =
        sessionEnds.empty() ? model_.leadOutLsn : static_cast<std::int32_t>(sessionEnds.front());
    model_.mcn = sheet.catalog;
    model_.text = sheet.text;
}

bool CueImage::ReadSectors(std::int32_t lsn, int count, std::uint8_t* out, std::string& error)
{
    if (!AudioSectorsReadable(model_, lsn, count, error))
        return false;
    while (count > 0) {
        auto segment =
            std::upper_bound(segments_.begin(), segments_.end(), lsn,
                             [](std::int32_t value, const Segment& s) { return value < s.lsn; });
        // Silence between segments (none is ever left) or before the first.
        const Segment* found = nullptr;
        if (segment != segments_.begin()) {
            const Segment& candidate = *std::prev(segment);
            if (lsn < candidate.lsn + candidate.sectors)
                found = &candidate;
        }
        int run = count;
        if (found != nullptr)
            run = std::min(run, found->lsn + found->sectors - lsn);
        else if (segment != segments_.end())
            run = std::min(run, segment->lsn - lsn);
        const std::size_t bytes = static_cast<std::size_t>(run) * kSectorBytes;
        if (found == nullptr || found->file < 0) {
            std::fill(out, out + bytes, std::uint8_t{0});
        } else {
            ImageFile& file = *files_[static_cast<std::size_t>(found->file)];
            const std::int64_t offset =
                (found->fileSector + (lsn - found->lsn)) * static_cast<std::int64_t>(kSectorBytes);
            // An audio file's samples need not end on a sector: the rest is silence.
            const std::int64_t available = std::clamp<std::int64_t>(
                file.Bytes() - offset, 0, static_cast<std::int64_t>(bytes));
            if (available > 0 &&
                !file.Read(offset, static_cast<std::size_t>(available), out, error))
                return false;
            std::fill(out + available, out + bytes, std::uint8_t{0});
        }
        out += bytes;
        lsn += run;
        count -= run;
    }
    return true;
}

} // namespace sonfeld::disc
