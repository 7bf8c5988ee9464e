#pragma once
// Who streams from a camera. A camera has one stream: two sessions that both
// read it take each other's frames and both fail. The session that starts
// streaming first claims the camera's stream; a claim by any other session,
// in this process or another, is refused at once until the holder lets go.
// Register access and naming need no claim.
//
// A claim is an exclusive flock on a shared-memory object named after the
// device path. flock conflicts between open file descriptions, so two claims
// in one process exclude each other as two processes do, and a process that
// dies releases its claims with its descriptors. A virtual camera belongs to
// its process, so its claims are named per process too.
#include <string>
#include <string_view>

namespace vantix {

class StreamClaim {
public:
    StreamClaim() = default;
    ~StreamClaim() { Release(); }
    StreamClaim(const StreamClaim&) = delete;
    StreamClaim& operator=(const StreamClaim&) = delete;

    // Claims the stream of the camera at `devicePath`, after releasing a
    // claim on another camera. True when this object holds it (also when it
    // already did); false when another claim holds it or no claim can be
    // made (the reason goes to the debug output).
    bool Claim(std::string_view devicePath);
    void Release();
    bool Holds() const { return fd_ >= 0; }
    // Whether a claim other than this one holds the camera's stream.
    bool HeldElsewhere(std::string_view devicePath) const;

    // The shared-memory name of a camera's claim (exposed for tests).
    static std::string NameFor(std::string_view devicePath);

private:
    int fd_ = -1;
    std::string name_;
};

}  // namespace vantix
