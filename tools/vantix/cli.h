#pragma once
// Shared pieces of the vantix command-line tool: option parsing, error
// messages for the SDK's codes, and opening a session on a camera.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cli {

// Arguments after the subcommand: "--name value", "--flag" and positionals.
struct Options {
    std::map<std::string, std::string> values;
    std::vector<std::string> positionals;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// Parses argv[first..]; options that take a value are listed in
// `withValue`. False (with a message printed) for an unknown option.
bool ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, Options* options);

// Parses a decimal or 0x-prefixed hexadecimal integer within [min, max].
bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t* value);

// One line explaining an SDK error code.
const char* ErrorText(int32_t code);

// Prints "error: <what>: SDK error <code> (<text>)" for the session's newest
// error and returns the exit status 1.
int Fail(int32_t handle, const std::string& what);

// A session on camera `index` (a virtual one when none is attached and the
// tool was allowed to start one). 0 with a message on failure.
int32_t OpenSession(int32_t index);

// Image file type for a file name's extension or a --format name; -1 if none.
int32_t FileTypeFor(const std::string& nameOrFormat);

std::string JsonEscape(const std::string& text);

}  // namespace cli
