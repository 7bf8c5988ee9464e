#pragma once
// Shared pieces of the vantix command-line tool: option parsing, error
// messages for the SDK's codes, and opening a session on a camera.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cli {

// Exit statuses: done, failed (SDK or file error), bad command line, and
// stopped by Ctrl-C before the work was done.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// Arguments after the subcommand: "--name value", "--flag" and positionals.
struct Options {
    std::map<std::string, std::string> values;
    std::vector<std::string> positionals;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// Parses argv[first..]; options that take a value are listed in
// `withValue`. False (with a message printed) for an unknown option. Every
// command also takes --model 0xNNNN, the model OpenSession drives.
bool ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, Options* options);

// Parses a decimal or 0x-prefixed hexadecimal integer within [min, max]
// ("010" is ten, not octal).
bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t* value);

// Parses a decimal number (such as "12.5") within [min, max].
bool ParseNumber(const std::string& text, double min, double max, double* value);

// --camera N (default 0). False with a message for a bad number.
bool ParseCamera(const Options& options, int32_t* index);

// The capture options shared by snap, record and stream, and applying them
// to a session (which also turns off the preview window). False with a
// message for a bad value.
extern const std::vector<std::string> kCaptureOptions;
bool ApplyCaptureOptions(int32_t handle, const Options& options);

// Whether `file` can be written: its folder exists and is writable and it is
// not itself a folder. False with a message naming the problem.
bool CheckWritable(const std::string& file);

// Ctrl-C handling for long operations: after InstallInterruptHandler, the
// first SIGINT or SIGTERM only sets the flag that Interrupted() reads, so the
// operation can stop at a safe point and leave whole files behind.
void InstallInterruptHandler();
bool Interrupted();

// Size of a file in bytes, -1 when it cannot be read.
long long FileSize(const std::string& path);

// A steady clock in seconds, for measuring durations.
double Now();

// One line explaining an SDK error code.
const char* ErrorText(int32_t code);

// The SDK's code for a file that could not be written, a recording that lost
// frames to a full disk among them.
inline constexpr int32_t kSdkErrorFile = 12;

// Takes every code out of the session's error history; true when `code` was
// among them. Called before an operation it empties the history, so that what
// it finds afterwards was recorded since.
bool TakeError(int32_t handle, int32_t code);

// Prints "error: <what>: SDK error <code> (<text>)" for the session's newest
// error (or "error: <what> failed" when none was recorded) and returns the
// exit status 1.
int Fail(int32_t handle, const std::string& what);

// A session on camera `index` (a virtual one when none is attached and the
// tool was allowed to start one). With --model, `index` counts that model's
// cameras; without, it is the camera's place in `vantix list` and the
// session drives that camera's model. 0 with a message on failure.
int32_t OpenSession(int32_t index);

// Image file type for a file name's extension or a --format name; -1 if none.
int32_t FileTypeFor(const std::string& nameOrFormat);

std::string JsonEscape(const std::string& text);

}  // namespace cli
