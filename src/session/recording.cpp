// Still images and timed AVI recordings of the session's converted frames.
#include <algorithm>

#include "output/still_image_writer.h"
#include "platform/clock.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {
constexpr uint32_t kRecorderPollMs = 10;
constexpr int32_t kFullSampleBits = 16;  // 16-bit samples are saved as full 16-bit values
}  // namespace

int32_t CVantix::SaveImage(const char* fileName, int32_t format) {
    if (!engine_ || imageAvailable_ == 0) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    vantix::ScopedLock lock(imageLock_);
    const vantix::CDibImage* client = ClientImage();
    if (client == nullptr || client->IsEmpty()) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (format < vantix::kStillBmp || format > vantix::kStillTiff) return 0;  // no such type: no error
    // A file that cannot be written is reported like the other file
    // failures, so the application can tell why the call failed.
    if (!vantix::SaveImageFile(fileName, client, format, kFullSampleBits)) {
        RecordError(vantix::kErrorConversion);
        return 0;
    }
    return 1;
}

int32_t CVantix::Record(const char* fileName, int32_t durationMs, int32_t showWindow) {
    if (fileName == nullptr || fileName[0] == '\0') {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    vantix::ScopedLock control(controlLock_);
    SetCallbackTarget(nullptr, nullptr, 0, clientOrientation_);
    const auto fail = [this](int32_t code) {
        Close();
        RecordError(code);
        return 0;
    };
    if (showWindow != 0 && WantsPreviewWindow() && !CreatePreviewWindow()) return fail(vantix::kErrorWindow);
    if (!StartPreview()) return fail(vantix::kErrorConversion);
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 0;
    {
        vantix::ScopedLock lock(imageLock_);
        if (const vantix::CDibImage* client = ClientImage()) {
            width = client->Width();
            height = client->Height();
            bits = client->BitsPerPixel();
        }
    }
    // A recording already running ends (finalised) before the next begins.
    StopRecording();
    recordDurationMs_ = static_cast<uint32_t>(std::max(0, durationMs));
    // The recorder takes at most one frame per poll and stops at the first
    // frame past the duration, so this many frames at most reach the file.
    // A recording sure to fit one RIFF keeps the plain AVI 1.0 layout; any
    // other gets the OpenDML headers to go on past 4 GiB.
    const uint64_t framesAtMost = recordDurationMs_ / kRecorderPollMs + 3;
    if (!avi_.OpenAvi(fileName, width, height, bits, avi_.LayoutFor(width, height, framesAtMost))) {
        return fail(vantix::kErrorConversion);
    }
    recordFrames_ = 0;
    recorderNewFrame_ = 0;
    recording_ = 1;
    if (!recorderThread_.Start([this] { RunRecorder(); })) {
        recording_ = 0;
        avi_.CloseAvi();
        return fail(vantix::kErrorThread);
    }
    return 1;
}

// Appends every new converted frame until the duration has passed since the
// first one, then writes the measured rate and the index.
void CVantix::RunRecorder() {
    bool started = false;
    uint32_t start = 0;
    bool writeFailed = false;
    while (recording_ != 0) {
        vantix::Sleep(kRecorderPollMs);
        if (recorderNewFrame_.exchange(0) == 0) continue;
        const uint32_t now = vantix::TimeGetTime();
        if (!started) {
            started = true;
            start = now;
        }
        int prepared = 0;
        {
            vantix::ScopedLock lock(imageLock_);
            if (const vantix::CDibImage* client = ClientImage()) prepared = avi_.PrepareFrame(*client);
        }
        // A frame that cannot be written (disk full, file at its size limit)
        // ends the recording; the file keeps the frames written before.
        const vantix::AviFrameResult result =
            prepared ? avi_.WriteAviFrame() : vantix::AviFrameResult::kNotOpen;
        const bool written = result == vantix::AviFrameResult::kWritten;
        writeFailed = writeFailed || result == vantix::AviFrameResult::kWriteFailed;
        if (written) ++recordFrames_;
        const uint32_t elapsed = vantix::ElapsedMs(start, now);
        if (!written || elapsed > recordDurationMs_) {
            avi_.SetFramesPer100s(vantix::AviRecorder::MeasureFramesPer100s(recordFrames_, elapsed));
            writeFailed = !avi_.CloseAvi() || writeFailed;
            recording_ = 0;
        }
    }
    // Stopped from outside before the duration ran out: the rate is measured
    // over the frames that were recorded.
    if (avi_.IsOpen()) {
        if (started) {
            const uint32_t elapsed = vantix::ElapsedMs(start, vantix::TimeGetTime());
            avi_.SetFramesPer100s(vantix::AviRecorder::MeasureFramesPer100s(recordFrames_, elapsed));
        }
        writeFailed = !avi_.CloseAvi() || writeFailed;
    }
    // Lost frames or a file that could not be finished must not pass for a
    // whole recording: the application hears of it, once per recording, like
    // any other file that could not be written.
    if (writeFailed) RecordError(vantix::kErrorConversion);
}

// Ends a recording from outside the recorder (preview stopped, session
// released): the file is finalised with the frames it has.
void CVantix::StopRecording() {
    recording_ = 0;
    if (!recorderThread_.IsCurrent()) recorderThread_.Join();
    if (avi_.IsOpen()) avi_.CloseAvi();
}
