#pragma once
// AviRecorder: records converted frames into an uncompressed AVI file (RIFF
// form "AVI ", one video stream of 24-bit bottom-up DIB frames, an "idx1"
// index at the end).
//
// A recording known to fit one RIFF (kSingleRiff) is laid out as
//      0  "RIFF", RIFF size, "AVI "
//     12  "LIST", 200, "hdrl", "avih", 56, main header
//     88  "LIST", 124, "strl", "strh", 64, stream header, "strf", 40, format
//    220  "LIST", movi size, "movi"
//    232  per frame: "00db", F, F bytes of pixels
//    end  "idx1", 16 x n, n index entries
// with F the 24-bit frame size (rows padded to 4 bytes). OpenAvi writes
// everything up to "movi" with zero counts; each frame brings the sizes and
// the frame count in the headers up to date; CloseAvi writes the index and
// patches the sizes, the frame count and the measured rate into the headers.
//
// A recording that may grow past one RIFF (kOpenDml) is an OpenDML (AVI 2.0)
// file whose first RIFF is still a valid AVI 1.0 file for older readers:
// the same headers at the same offsets up to the format, then, reserved at
// the start, the stream's super index ("indx", room for SuperIndexEntries()
// segments) inside "strl" and an "odml" list with "dmlh" (the total frame
// count) inside "hdrl"; then "movi" as above. Every RIFF (the first "AVI ",
// then "AVIX" ones) holds one "movi" list whose frames end with an "ix00"
// standard index of that RIFF's frames; the first RIFF also keeps its
// "idx1" after its "movi". avih counts the first RIFF's frames, strh and
// dmlh all of them. A RIFF is closed (its index written, its entry added to
// the super index) when the next frame would not fit it.
//
// The recording goes to a temporary file beside the name (see
// platform/temporary_file.h) that is renamed over the name at the first whole
// frame. A program killed before then leaves an older file of that name as it
// was; one killed later leaves the recording under the name, without index
// but with headers that count its frames.
//
// A recording as the session runs it, with the recording thread's clock:
//
//   layout = recorder.LayoutFor(width, height, framesAtMost);
//   recorder.OpenAvi(name, width, height, bitsPerPixel, layout);  // output buffer
//   loop: { image lock: recorder.PrepareFrame(outputImage); }
//         if (recorder.WriteAviFrame() != AviFrameResult::kWritten) stop;
//   recorder.SetFramesPer100s(AviRecorder::MeasureFramesPer100s(frames, ms));
//   recorder.CloseAvi();
//
// Whatever ends a recording, the file is finalised: CloseAvi always writes
// the index and the headers, and the destructor closes an open file the same
// way. A frame that would take a single-RIFF file past the 32-bit RIFF size
// (4 GiB), or an OpenDML file past its last RIFF, is refused (kFileFull) and
// the file stays valid; the caller stops there. A failed write ends the
// recording (kWriteFailed): the partial frame is cut off, so CloseAvi leaves
// a playable file of the frames written before.
//
// The operations lock the recorder, so a stop from another thread may call
// CloseAvi while the recording thread writes; frames arriving after it are
// answered kNotOpen.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/dib_image.h"

namespace vantix {

#pragma pack(push, 1)
// "avih" body.
struct AviMainHeader {
    uint32_t dwMicroSecPerFrame;
    uint32_t dwMaxBytesPerSec;
    uint32_t dwPaddingGranularity;
    uint32_t dwFlags;
    uint32_t dwTotalFrames;
    uint32_t dwInitialFrames;
    uint32_t dwStreams;
    uint32_t dwSuggestedBufferSize;
    uint32_t dwWidth;
    uint32_t dwHeight;
    uint32_t dwReserved[4];
};

// "strh" body.
struct AviStreamHeader {
    char fccType[4];
    char fccHandler[4];
    uint32_t dwFlags;
    uint16_t wPriority;
    uint16_t wLanguage;
    uint32_t dwInitialFrames;
    uint32_t dwScale;
    uint32_t dwRate;
    uint32_t dwStart;
    uint32_t dwLength;
    uint32_t dwSuggestedBufferSize;
    uint32_t dwQuality;
    uint32_t dwSampleSize;
    int32_t rcFrame[4];
};

// One "idx1" entry.
struct AviIndexEntry {
    char ckid[4];
    uint32_t dwFlags;
    uint32_t dwChunkOffset;  // from the "movi" form type; the first frame is at 4
    uint32_t dwChunkLength;
};

// Everything from offset 0 up to and including "movi".
struct AviFileHeader {
    char riff[4];
    uint32_t riffSize;
    char aviForm[4];
    char hdrlList[4];
    uint32_t hdrlSize;
    char hdrl[4];
    char avih[4];
    uint32_t avihSize;
    AviMainHeader main;
    char strlList[4];
    uint32_t strlSize;
    char strl[4];
    char strh[4];
    uint32_t strhSize;
    AviStreamHeader stream;
    char strf[4];
    uint32_t strfSize;
    BitmapInfoHeader format;
    char moviList[4];
    uint32_t moviSize;
    char movi[4];
};
#pragma pack(pop)
static_assert(sizeof(AviMainHeader) == 56);
static_assert(sizeof(AviStreamHeader) == 64);
static_assert(sizeof(AviIndexEntry) == 16);
static_assert(sizeof(AviFileHeader) == 232);
static_assert(offsetof(AviFileHeader, main) == 32);
static_assert(offsetof(AviFileHeader, stream) == 108);
static_assert(offsetof(AviFileHeader, format) == 180);
static_assert(offsetof(AviFileHeader, moviSize) == 224);

enum class AviLayout {
    kSingleRiff,  // one RIFF, the plain AVI 1.0 layout; ends at 4 GiB
    kOpenDml,     // further "AVIX" RIFFs and the super index
};

enum class AviFrameResult {
    kWritten,      // the frame was appended
    kNotOpen,      // no file is open (never opened, or already closed)
    kFileFull,     // the frame would take the file past the RIFF size limit; nothing written
    kWriteFailed,  // a write failed now or earlier; the recording should end
};

class AviRecorder {
public:
    // Rate assumed until one is measured: 30 frames per second.
    static constexpr uint32_t kDefaultFramesPer100s = 3000;
    // The RIFF size field is 32 bits wide.
    static constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFu;

    // Segments an OpenDML file can have (entries of its super index): at
    // 4 GiB each, a terabyte.
    static constexpr uint32_t kSuperIndexEntries = 256;

    // maxRiffBytes: the largest RIFF size the recorder lets each RIFF of a
    // file reach (kMaxRiffBytes; smaller values, and fewer superIndexEntries,
    // are for tests).
    explicit AviRecorder(uint64_t maxRiffBytes = kMaxRiffBytes, uint32_t superIndexEntries = kSuperIndexEntries);
    // Finalises a file still open.
    ~AviRecorder();
    AviRecorder(const AviRecorder&) = delete;
    AviRecorder& operator=(const AviRecorder&) = delete;

    // Finalises any file still open, then starts a recording named fileName
    // for frames of width x height taken from an output buffer of
    // bitsPerPixel (8, 16, 24, 32, 48 or 64), and writes the headers. An
    // existing file of that name is replaced at the first frame (or by a
    // recording closed without frames); it must be a regular file that may
    // be written, and a symbolic link to one stays a link. When no file can
    // be created beside it, the existing file is recorded into in place,
    // emptied at the first frame. A device is written in place as it is (a
    // FIFO fails: the file is written with seeks). Returns 1, or 0 when the
    // file can't be created or written, the name is a folder or a dangling
    // link, the size or depth is not supported, or not even one frame would
    // fit.
    int OpenAvi(const char* fileName, int32_t width, int32_t height, int32_t bitsPerPixel,
                AviLayout layout = AviLayout::kSingleRiff);

    // The layout for a recording of at most framesAtMost frames of width x
    // height: a single RIFF when they are sure to fit one, else OpenDML.
    AviLayout LayoutFor(int32_t width, int32_t height, uint64_t framesAtMost) const;

    // Turns an output buffer image (memory row 0: the top of the picture)
    // into the 24-bit bottom-up frame WriteAviFrame() appends:
    //    8 bits  gray expanded to B, G, R through the image's colour table
    //   16 bits  each sample as min(v >> 2, 255) gray (10 significant bits)
    //   24, 32   B, G, R
    //   48, 64   the high byte of each 16-bit B, G, R
    // Returns 1, or 0 when no file is open or the image's size or depth is
    // not what OpenAvi was given. Runs under the caller's image lock.
    int PrepareFrame(const CDibImage& image);
    // Appends the prepared frame.
    AviFrameResult WriteAviFrame();
    // Appends FrameBytes() bytes of 24-bit bottom-up rows, each padded to 4
    // bytes.
    AviFrameResult WriteAviFrame(const uint8_t* frame);

    // Frames per second x 100 to be patched into the headers at CloseAvi.
    // 0 is ignored.
    void SetFramesPer100s(uint32_t framesPer100s);
    // frames x 100000 / elapsedMs in 64-bit arithmetic, at least 1; the
    // default rate when there are no frames or no elapsed time to go by.
    static uint32_t MeasureFramesPer100s(uint32_t frames, uint32_t elapsedMs);

    // Writes the index and patches the headers, then closes the file.
    // Returns 1 when the finished file holds every frame written, 0 when
    // nothing was open or a write failed (a full disk costs the last frames
    // so that the index still fits, leaving a playable file; an index that can't be written at all leaves a file whose
    // headers say it has none; a recording that failed before its first
    // frame is removed and the older file of its name kept).
    int CloseAvi();

    bool IsOpen() const;
    // Frames written, in every RIFF.
    uint32_t FrameCount() const;
    // RIFFs of the file so far (1 until an OpenDML file grows past its first).
    uint32_t RiffCount() const;
    // F, the bytes of one 24-bit frame.
    uint32_t FrameBytes() const;
    uint32_t FramesPer100s() const;
    // Bytes after the current RIFF's size field, and of its "movi" list from
    // the form type, as written so far.
    uint32_t RiffBytes() const;
    uint32_t MoviBytes() const;

private:
    bool OpenFileLocked(const char* fileName);
    AviFrameResult WriteFrameLocked(const uint8_t* frame);
    int CloseLocked();
    // Writes the current RIFF's indexes ("ix00", and "idx1" in the first),
    // giving up its last frames when the disk is full; false when none could
    // be written.
    bool WriteIndexLocked();
    // Closes the current RIFF and starts an "AVIX" one at the end of the file.
    bool StartNextRiffLocked();
    // Drops a later RIFF that holds no frame (its first frame failed).
    void DropEmptyRiffLocked();
    void DropLastFrameLocked();
    void PatchHeaderLocked(bool hasIndex);
    // Writes the headers at the start and, in a later RIFF, its own sizes.
    bool WriteHeaderLocked();
    bool WriteRiffHeaderLocked();
    bool FitsLocked(uint64_t riffBytes, uint64_t frames) const;
    uint64_t EndLocked() const { return riffStart_ + 8 + riffBytes_; }
    uint64_t MoviFormLocked() const;
    // In place: drops the old contents and writes the headers.
    bool EmptyInPlaceLocked();
    // Renames the temporary file over the target.
    bool PlaceLocked();
    // Closes the file and removes a temporary file not yet in place.
    void DiscardFileLocked();

    mutable std::mutex mutex_;
    const uint64_t maxRiffBytes_;
    const uint32_t superIndexEntries_;
    int fd_ = -1;
    // The name recorded to, and the temporary file beside it that takes the
    // name at the first whole frame; empty once in place. inPlace_: the
    // target itself is written (a device, or no temporary file could be made).
    std::string targetPath_;
    std::string temporaryPath_;
    bool inPlace_ = false;
    bool placed_ = false;  // the recording holds the name
    bool writeFailed_ = false;
    AviFileHeader header_{};
    AviLayout layout_ = AviLayout::kSingleRiff;
    // OpenDML: the super index and the "odml" list, written between the
    // format and "movi" (see the layout above).
    std::vector<uint8_t> extension_;
    uint32_t headerBytes_ = 0;  // of the first RIFF, up to and including "movi"
    // The current RIFF: where it starts, which it is, its sizes and the index
    // entries of its frames (offsets from its "movi" form type).
    uint64_t riffStart_ = 0;
    uint32_t riffNumber_ = 0;
    uint32_t riffBytes_ = 0;
    uint32_t moviBytes_ = 0;
    std::vector<AviIndexEntry> index_;
    bool riffClosed_ = false;  // its indexes are written: no more frames go into it
    struct RiffPlace {
        uint64_t start = 0;
        uint32_t riffBytes = 0;
        uint32_t moviBytes = 0;
    } previousRiff_;  // the one a RIFF that gets no frame falls back to
    uint32_t firstRiffFrames_ = 0;
    bool hasIdx1_ = false;  // the first RIFF's "idx1" is written
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint16_t bitsPerPixel_ = 0;
    uint32_t framesPer100s_ = kDefaultFramesPer100s;
    uint32_t frameCount_ = 0;
    uint32_t frameBytes_ = 0;
    CDibImage frame24_;  // the frame as written
    CDibImage gray8_;    // 16-bit sources pass through 8-bit gray
};

}  // namespace vantix
