#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "audio/core/input.h"
#include "cd_types.h"

namespace sonfeld {

class DriveHold;

enum TCDDriveStatus { dsNoMedia = 0, dsReady = 1, dsPlaying = 2 };

// The CD audio input: 44100 Hz, 16-bit, stereo PCM read from a CD drive (or a
// disc image made a drive) through the CR_ library, plus the questions the
// main window asks about drives and discs.
//
// Creation loads the library (libcdrip.so beside the program) unless it is
// loaded already, and raises EACSException "<file> library could not be
// loaded." when it cannot.
//
// Threads: the queries and setters belong to the UI thread; OpenInput runs on
// the thread that starts the output, ReadPCM and CloseInput on the output's
// worker. One range per run: from the start of StartTrack to the start of
// EndTrack + 1 (the lead-out for the disc's last track); an image whose audio
// ends inside that range's last sector ends the range with its audio. Start
// and end track 0 read the audio before track 1's INDEX 01 (from sector 0);
// a disc whose track 1 starts at sector 0 has none, and the run is refused.
class TCDIn : public TACSInput {
public:
    static constexpr int kChunkBytes = 75 * kBytesPerFrame; // one second of audio

    explicit TCDIn(TComponent* owner = nullptr);
    ~TCDIn() override;

    // Makes a disc image (CUE/BIN, cdrdao TOC, NRG) a drive after the drives
    // already listed; loads the library when needed. Raises EACSException when
    // the library is missing or cannot open the image.
    static void AddImageDrive(const std::string& path);

    int GetBitsPerSample() override { return 16; }
    int GetChannels() override { return 2; }
    int GetSampleRate() override { return 44100; }

    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;
    void CloseInput() override;

    int CurrentDrive() const { return currentDrive_; }
    // Values outside 0 .. DriveCount - 1 are ignored without a message.
    void SetCurrentDrive(int value);
    int StartTrack() const { return startTrack_; }
    // Raise "The component is buisy" during a run; the range is checked by OpenInput.
    void SetStartTrack(int value);
    int EndTrack() const { return endTrack_; }
    void SetEndTrack(int value);
    // The drive's read offset in samples, corrected on every later run:
    // -kMaxReadOffset .. kMaxReadOffset, else "The read offset is out of
    // range."; busy during a run. 0 reads the sectors of the range as they are.
    int ReadOffset() const { return readOffset_; }
    void SetReadOffset(int value);
    // Secure by default; busy during a run.
    TCDReadMode ReadMode() const { return readMode_; }
    void SetReadMode(TCDReadMode value);
    // Secure and old-drive modes: re-reads of a sector whose reads differ
    // before it is reported suspicious; 0 (the default) lets the library
    // choose (16). Busy during a run.
    int MaxRereads() const { return maxRereads_; }
    void SetMaxRereads(int value);
    // The current or last run's reading mode, offset and problems, as the
    // library reports them. Re-reading a range in secure mode after a fast run
    // is simply another run: nothing of the earlier run is reused.
    TCDRipReport RipReport();

    int DriveCount();
    std::string DriveName();
    TCDDriveStatus DriveStatus();
    // Tracks on the disc, -1 when the table of contents cannot be read. Read afresh each call.
    int TrackCount();
    // Raises "Track out of range." for a track outside 1 .. TrackCount.
    TCDTrackInfo TrackInfo(int track);
    // Opens the tray of the drive the library has active; "The component is buisy" during a run.
    void Eject();

protected:
    friend class DriveHold;
    void AcquireDrive();
    void ReleaseDrive();

    // Nesting depth of drive use; the worker's CloseInput releases the run's hold.
    std::atomic<int> AcquireCount{0};
    TCDPosition RipStart;
    TCDPosition RipEnd;

private:
    std::int64_t RangeStartSector();
    std::int64_t RangeEndSector();
    // The silence an image pads its last partial sector with, when the range
    // ends there: read with the sector, never handed out, so a rip holds
    // exactly the image's audio.
    std::int64_t EndPaddingBytes(std::int64_t end);
    [[noreturn]] void FailRead(const std::string& what);
    std::int32_t OpenRipper(std::int64_t start, std::int64_t end);

    int currentDrive_ = 0;
    int startTrack_ = 0;
    int endTrack_ = 0;
    int readOffset_ = 0;
    TCDReadMode readMode_ = rmSecure;
    int maxRereads_ = 0;
    std::array<std::uint8_t, kChunkBytes> chunk_{}; // the worker's, during a run
    std::int32_t chunkSize_ = kChunkBytes;
};

} // namespace sonfeld
