#pragma once
// How a running recording proceeds, read from the growing AVI file: a bar
// with time, frames, frame rate and bytes on a terminal, one plain line per
// second otherwise.
#include <cstdint>
#include <string>

namespace cli {

class RecordingProgress {
public:
    // `frameBytes`: bytes of one frame as stored (rows padded to 4 bytes).
    RecordingProgress(std::string file, int64_t frameBytes, double seconds, bool terminal);
    // Shows the state `elapsed` seconds after the start.
    void Update(double elapsed);
    // Ends the bar; call after the recording stopped.
    void Finish();
    // Frames written so far, from the file's size.
    int64_t FramesWritten() const;

private:
    std::string file_;
    int64_t frameBytes_;
    double seconds_;
    bool terminal_;
    int lastSecond_ = -1;
};

// Bytes of one stored frame of the given size and depth.
int64_t StoredFrameBytes(int32_t width, int32_t height, int32_t bitsPerPixel);
// The frame count in a finished AVI file's main header; -1 if unreadable.
int64_t AviFrameCount(const std::string& file);

}  // namespace cli
