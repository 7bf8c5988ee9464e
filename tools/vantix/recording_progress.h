#pragma once
// How a running recording proceeds, read from the growing AVI file: a bar
// with time, frames, frame rate and bytes on a terminal, one plain line per
// second otherwise.
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace cli {

class RecordingProgress {
public:
    // Made before the recording starts: until its first frame the SDK keeps
    // an older file of that name, which counts as nothing recorded yet.
    RecordingProgress(std::string file, double seconds, bool terminal);
    // Shows the state `elapsed` seconds after the start.
    void Update(double elapsed);
    // Ends the bar; call after the recording stopped.
    void Finish();
    // Frames written so far, from the counts the SDK keeps in the file's
    // header as it records.
    int64_t FramesWritten() const;

private:
    // Whether `file_` is no longer the file that had the name at the start.
    bool IsNewFile() const;

    std::string file_;
    double seconds_;
    bool terminal_;
    int lastSecond_ = -1;
    bool hadFile_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    timespec modified_{};
};

}  // namespace cli
