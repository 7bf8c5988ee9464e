// Direct transfers whose completion races their time-out: the abort that
// follows a time-out may find the read already finished with data.
#include "transport/request_layer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "drivers/device_file.h"
#include "drivers/transfer_record.h"

namespace vantix {
namespace {

// A device file whose reads stay pending until an abort. `abortCompletes`
// chooses what the abort finds: a read that had just finished with all its
// bytes (the camera's data arrived as the host gave up), or one the abort
// cancels.
class RacingConnection final : public DeviceConnection {
public:
    explicit RacingConnection(bool abortCompletes) : abortCompletes_(abortCompletes) {}

    uint32_t IoControl(uint32_t code, void* in, uint32_t, void* out, uint32_t outSize, uint32_t* bytesReturned,
                       Overlapped* overlapped) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        if (code == kIoctlDirectTransfer) {
            pending_ = overlapped;
            data_ = static_cast<uint8_t*>(out);
            size_ = outSize;
            header_ = static_cast<TransferHeader*>(in);
            return kErrorIoPending;
        }
        if (code == kIoctlAbortPipe && pending_ != nullptr) {
            ++aborts_;
            Overlapped* read = pending_;
            pending_ = nullptr;
            if (abortCompletes_) {
                std::memset(data_, 0x5A, size_);
                header_->statusA = 0;
                header_->statusB = 0;
                read->Complete(kErrorSuccess, size_);
            } else {
                read->Complete(kErrorOperationAborted, 0);
            }
        }
        return kErrorSuccess;
    }

    int aborts_ = 0;

private:
    bool abortCompletes_;
    Overlapped* pending_ = nullptr;
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    TransferHeader* header_ = nullptr;
};

TEST(RequestLayer, ReadThatFinishesAsItTimesOutKeepsItsDataAndOneThatIsCancelledFails) {
    CFx3Api api;
    uint8_t buffer[64] = {};
    uint32_t count = 99;

    RacingConnection finished(true);
    EXPECT_TRUE(api.DirectTransfer(&finished, buffer, sizeof buffer, kStreamEndpoint, &count, 5, true));
    EXPECT_EQ(finished.aborts_, 1);
    EXPECT_EQ(count, sizeof buffer);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[63], 0x5A);

    RacingConnection cancelled(false);
    EXPECT_FALSE(api.DirectTransfer(&cancelled, buffer, sizeof buffer, kStreamEndpoint, &count, 5, true));
    EXPECT_EQ(cancelled.aborts_, 1);
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace vantix
