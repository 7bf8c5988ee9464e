// The acquisition half of the camera engine: starting and stopping the
// acquisition thread, its two capture loops (header + payload streaming, and
// the direct-frame stream of model 0x3042), the synchronous single-frame
// capture, and copying frames out of the four-slot ring with the sensor's
// row and pixel order applied.
//
// Slot protection. The acquisition thread never waits for a reader. A reader
// announces the slot it is about to copy (slotReaders_[s] += 1) and then
// checks slotWriting_[s]; if the thread is filling that slot the reader
// withdraws and picks the newest slot again. The thread receives each frame
// into a transfer buffer of its own. Once the frame is complete, it raises
// slotWriting_[t] for the slot at the write index and then checks
// slotReaders_[t]; if a reader is on it, it lowers the flag and tries the next
// slot (a session has at most a couple of readers, so with four slots one is
// free; if none is, the frame is dropped). "Filling" the slot is exchanging
// its buffer with the transfer buffer, so a frame is never copied inside the
// engine and a transfer that fails half-way never touches a slot. After the
// exchange it lowers the flag and publishes: writeIndex_ = t + 1 (mod 4), the
// published-frame count, then the frame event.
//
// Why a copy can never tear: every access to the two arrays is seq_cst, so
// all of them fall into one total order. The reader does "announce, then check
// the flag", the thread does "raise the flag, then check the readers". If the
// reader's check comes before the thread raises its flag, the thread's later
// check sees the announcement and the slot is skipped. Otherwise the reader
// sees the flag (and withdraws), or reads the flag after the thread lowered it
// again, which synchronises with the thread's exchange of the slot's buffer,
// so the reader sees the new buffer with the whole frame in it. Either way
// the slot is never replaced while a reader that has committed to it copies
// from it.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "engine/fpga_registers.h"
#include "engine/camera_engine.h"
#include "platform/clock.h"

namespace vantix {
namespace {

// Consecutive failed frames after which the streaming loop gives up.
constexpr int kMaxConsecutiveFailures = 5;
// The direct-frame loop and the single-frame capture give up after the
// attempt with this index fails, or when no frame came for this long.
constexpr int kMaxRetryIndex = 10;
constexpr uint32_t kNoFrameGiveUpMs = 10000;
constexpr uint32_t kSingleFramePayloadTimeoutMs = 3000;

int RingIndex(int32_t value) { return static_cast<int>(static_cast<uint32_t>(value) % kRingSlots); }

// Reverses the order of `pixels` one-byte pixels. Without a byte shuffle in
// the baseline instruction set the compiler does not vectorise a byte-wise
// reversal, so it moves eight bytes at a time, byte-swapped.
void ReversePixels8(const uint8_t* in, uint8_t* out, size_t pixels) {
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, in + pixels - i - 8, sizeof chunk);
        chunk = __builtin_bswap64(chunk);
        std::memcpy(out + i, &chunk, sizeof chunk);
    }
    for (; i < pixels; ++i) out[i] = in[pixels - 1 - i];
}

// Reverses the order of `pixels` two-byte pixels. Byte-wise moves keep the
// code free of alignment and aliasing assumptions about the caller's buffer;
// the compiler turns the loop into vector loads with a byte shuffle.
void ReversePixels16(const uint8_t* in, uint8_t* out, size_t pixels) {
    const uint8_t* last = in + 2 * pixels;
    for (size_t i = 0; i < pixels; ++i) {
        out[2 * i] = last[-2 - 2 * static_cast<ptrdiff_t>(i)];
        out[2 * i + 1] = last[-1 - 2 * static_cast<ptrdiff_t>(i)];
    }
}

// Copies `rows` rows of `rowBytes`, optionally last row first and with the
// pixels of each row reversed.
void CopyRows(const uint8_t* source, uint8_t* dest, size_t rowBytes, size_t rows, size_t pixelBytes,
              bool reversePixels, bool bottomUp) {
    for (size_t r = 0; r < rows; ++r) {
        const uint8_t* in = source + (bottomUp ? rows - 1 - r : r) * rowBytes;
        uint8_t* out = dest + r * rowBytes;
        if (!reversePixels) {
            std::memcpy(out, in, rowBytes);
        } else if (pixelBytes == 1) {
            ReversePixels8(in, out, rowBytes);
        } else {
            ReversePixels16(in, out, rowBytes / 2);
        }
    }
}

// A header must announce exactly the frame the camera was programmed for. A
// shorter payload would leave the rest of the buffer holding the previous
// frame's bytes, which would then pass for a new frame; a longer one belongs
// to another geometry.
bool IsProgrammedFrame(const FrameDescriptor& frame, uint32_t frameBytes) {
    return AnnouncedPayloadBytes(frame) == frameBytes;
}

FrameDescriptor TransferDescriptor(uint8_t* buffer, uint32_t capacity, uint32_t frameBytes) {
    FrameDescriptor frame{};
    frame.buffer = buffer;
    frame.capacity = capacity;
    frame.directBytes = frameBytes;
    return frame;
}

}  // namespace

// ---- Events ----

void CVantixU3K9Base::OpenFrameEvent() {
    if (frameEventOpen_) return;
    // A freshly opened event starts unsignalled; a signal left over from the
    // release of the previous session's waiters must not count as a frame.
    frameEvent_.Reset();
    frameEventOpen_ = true;
}

void CVantixU3K9Base::RaiseFrameEvent() {
    if (frameEventOpen_) frameEvent_.Set();
}

// ---- Starting and stopping ----

int32_t CVantixU3K9Base::StartCapture(int32_t mode) {
    ScopedLock lock(captureLock_);
    if (!ClaimStream()) return Refuse("start capture: another session streams from this camera");
    if (running_) StopCapture();
    OpenFrameEvent();
    const int32_t modeResult = SetCaptureMode(mode);
    if (!modeResult) return modeResult;
    // A thread that ended by itself (single frame, header only, gave up) has
    // cleared running_ as its very last step, so this join returns at once.
    // It comes before the buffers may be reallocated.
    stopEventOpen_ = false;
    thread_.Join();
    if (buffersStale_) AllocateFrameBuffers();
    // Without a complete set of buffers the thread would have nowhere to put
    // a frame; refuse instead of starting a thread that fails at once.
    if (!transferBuffer_ || frameBytes_ == 0 || frameBytes_ > transferBufferSize_) {
        return Refuse("start capture: no frame buffers for the window");
    }
    for (const auto& slot : ring_) {
        if (!slot) return Refuse("start capture: no frame buffers for the window");
    }
    // A failure of the previous run is over; its leftover signal must not
    // wake the next waiter.
    if (transferFailed_.exchange(false)) frameEvent_.Reset();
    running_ = true;
    stopEvent_.Reset();
    stopEventOpen_ = true;
    const bool started = thread_.Start(
        [this] {
            if (Facts().stream == StreamKind::DirectFrames) {
                RunCaptureLoop3042();
            } else {
                RunCaptureLoop();
            }
        },
        ThreadPriority::TimeCritical);
    if (!started) {
        running_ = false;
        stopEventOpen_ = false;
        return 0;
    }
    if (sensor_) sensor_->StartTemperatureMonitor();
    return 1;
}

int32_t CVantixU3K9Base::StopCapture() {
    ScopedLock lock(captureLock_);
    if (sensor_) sensor_->StopTemperatureMonitor();
    running_ = false;
    // Waiters are released before the thread is joined, so they need not sit
    // out the transfer in progress. Closed first, then set: a waiter that
    // wakes sees the event closed and passes the signal on, so every waiter
    // is released, not just one; a frame the thread still completes does not
    // signal a closed event.
    if (frameEventOpen_.exchange(false)) frameEvent_.Set();
    // The loop checks running_ before every frame, so the thread ends after
    // at most the transfer in progress. Joining is the reliable end signal:
    // it also covers a thread that already ended (and set the stop event) by
    // itself, and costs nothing when none exists.
    if (thread_.Joinable()) {
        thread_.Join();
        stopEvent_.Reset();  // consume the thread's end signal
    }
    Sleep(1);
    stopEventOpen_ = false;
    // The stream another session reads is not this engine's to reset.
    if (streamClaim_.Holds() || !StreamHeldElsewhere()) ResetStream();
    Sleep(5);
    captureMode_ = kCaptureContinuous;
    return 1;
}

int32_t CVantixU3K9Base::SetCaptureMode(int32_t mode) {
    ScopedLock lock(captureLock_);
    if (!controller_) return 0;
    // The mode is written only with the thread stopped: the thread reads it.
    if (mode != captureMode_) {
        StopCapture();
        OpenFrameEvent();
        if (mode == kCaptureOnCounterChange) {
            // Nothing counts as new until the triggered frame arrives.
            writeIndex_ = lastReadIndex_.load();
            readFrames_ = publishedFrames_.load();
            ReadFrameCounter();
        }
        captureMode_ = mode;
    }
    return 1;
}

// ---- The acquisition thread ----

void CVantixU3K9Base::EndCaptureLoop(bool failed) {
    if (failed) {
        // The flag first: a waiter woken by the event reads it, reports the
        // failure and passes the signal on to the next waiter.
        transferFailed_ = true;
        RaiseFrameEvent();
    }
    if (controller_) controller_->CloseStream();
    stopEvent_.Set();
    // The last step: StartCapture and CaptureSingleFrame rely on a thread
    // that has cleared running_ being done with the stream and the buffers.
    running_ = false;
}

int32_t CVantixU3K9Base::RunCaptureLoop() {
    if (!controller_ || !transferBuffer_) {
        EndCaptureLoop(true);
        return 0;
    }
    transferFailed_ = false;
    const int32_t mode = captureMode_;
    FrameDescriptor frame = TransferDescriptor(transferBuffer_.get(), transferBufferSize_, frameBytes_);
    // A stream that does not open is a failed transfer: the waiters are told
    // instead of waiting for frames that never come.
    bool failed = !controller_->OpenStream();
    int failures = 0;
    while (!failed && running_) {
        if (Facts().exposureBetweenFrames && exposurePending_.exchange(false) && sensor_) {
            // This head is reprogrammed only between frames.
            sensor_->SetExposureTime(pendingExposure_);
        }
        bool ok = true;
        if (mode == kCaptureOnCounterChange) {
            // Wait for the trigger: the FPGA's frame counter moves on. A
            // register read that fails counts as a lost frame.
            uint8_t counter = 0;
            ok = controller_->ReadFpgaRegister(fpga::kFrameCounter, &counter) != 0;
            if (ok) {
                if (counter == static_cast<uint8_t>(lastFrameCounter_)) {
                    Sleep(1);
                    continue;
                }
                lastFrameCounter_ = counter;
            }
        }
        ok = ok && controller_->ReadFrameHeader(&frame);
        if (ok) {
            if (mode == kCaptureHeaderOnly) {
                lastFrameCounter_ = frame.frameCounter;
                break;
            }
            if (mode != kCaptureOnCounterChange) lastFrameCounter_ = frame.frameCounter;
            const int32_t timeoutMs = readTimeoutMs_;
            if (IsProgrammedFrame(frame, frameBytes_) &&
                controller_->ReadFramePayload(&frame, static_cast<uint32_t>(std::max(timeoutMs, 0)))) {
                PublishTransfer(frame.frameCounter);
                frame.buffer = transferBuffer_.get();
                failures = 0;
                if (mode == kCaptureSingle || mode == kCaptureOnCounterChange) break;
                continue;
            }
        }
        // A lost frame: close the stream, and give up or recover.
        controller_->CloseStream();
        if ((Facts().lostTriggeredFrameEndsCapture && mode == kCaptureOnCounterChange) ||
            ++failures >= kMaxConsecutiveFailures) {
            failed = true;
            break;
        }
        if (Facts().resetPipeOnRecovery) controller_->ResetPipe(kStreamEndpoint);
        if (sensor_) sensor_->SettingsStrobe();
        // A stream that does not reopen here is opened again by the next
        // header read, whose failure counts as the next lost frame.
        controller_->OpenStream();
    }
    EndCaptureLoop(failed);
    return 1;
}

int32_t CVantixU3K9Base::RunCaptureLoop3042() {
    if (!controller_ || !transferBuffer_) {
        EndCaptureLoop(true);
        return 0;
    }
    controller_->RestartStream();
    transferFailed_ = false;
    const int32_t mode = captureMode_;
    FrameDescriptor frame = TransferDescriptor(transferBuffer_.get(), transferBufferSize_, frameBytes_);
    uint32_t lastFrameTime = TickCount();
    bool failed = !controller_->OpenStream();
    int attempt = 0;
    while (!failed && running_) {
        if (controller_->ReadFrameDirect(&frame)) {
            lastFrameTime = TickCount();
            transferFailed_ = false;
            PublishTransfer(frame.frameCounter);
            frame.buffer = transferBuffer_.get();
            if (mode == kCaptureSingle) break;
            attempt = 0;
            continue;
        }
        if (ElapsedMs(lastFrameTime, TickCount()) >= kNoFrameGiveUpMs || attempt >= kMaxRetryIndex) {
            failed = true;
            break;
        }
        controller_->ResetPort();
        controller_->RestartStream();
        controller_->ResetPipe(kStreamEndpoint);
        ++attempt;
    }
    EndCaptureLoop(failed);
    return 1;
}

void CVantixU3K9Base::PublishTransfer(uint32_t frameCounter) {
    const uint64_t arrivalNs = MonotonicNanoseconds();
    const int start = RingIndex(writeIndex_.load());
    for (int i = 0; i < kRingSlots; ++i) {
        const int target = (start + i) % kRingSlots;
        slotWriting_[target].store(true);
        if (slotReaders_[target].load() != 0) {
            slotWriting_[target].store(false);  // a reader holds it: try the next slot
            continue;
        }
        if (!ring_[target]) {
            slotWriting_[target].store(false);
            return;
        }
        // The finished transfer becomes the slot's frame and the slot's old
        // buffer takes the next transfer: no copy, and a transfer that fails
        // half-way only ever overwrites a buffer no reader can reach. Every
        // slot and the transfer buffer are of one size (AllocateFrameBuffers).
        std::swap(ring_[target], transferBuffer_);
        slotFrames_[target] = {frameCounter, arrivalNs};
        slotWriting_[target].store(false);
        // The index first, then the count: a reader that sees count n and
        // then loads the index is sure to copy frame n or a later one.
        writeIndex_.store((target + 1) % kRingSlots);
        publishedFrames_.fetch_add(1);
        RaiseFrameEvent();
        return;
    }
    // Every slot is being read: this frame is dropped, the readers keep theirs.
}

// ---- Synchronous capture ----

int32_t CVantixU3K9Base::CaptureSingleFrame() {
    ScopedLock lock(captureLock_);
    if (!controller_) return 2;
    // The stream and the transfer buffer belong to the acquisition thread
    // while it runs.
    if (running_) return 2;
    thread_.Join();
    if (buffersStale_) AllocateFrameBuffers();
    if (!transferBuffer_ || !ring_[0] || frameBytes_ > transferBufferSize_) return 2;
    const bool direct = Facts().stream == StreamKind::DirectFrames;
    if (direct) controller_->RestartStream();
    transferFailed_ = false;
    const uint32_t startTime = TickCount();
    controller_->OpenStream();
    FrameDescriptor frame = TransferDescriptor(transferBuffer_.get(), transferBufferSize_, frameBytes_);
    for (int attempt = 0;; ++attempt) {
        const bool ok = direct ? controller_->ReadFrameDirect(&frame) != 0
                               : controller_->ReadFrameHeader(&frame) && IsProgrammedFrame(frame, frameBytes_) &&
                                     controller_->ReadFramePayload(&frame, kSingleFramePayloadTimeoutMs);
        if (ok) {
            // Slot 0 may be in a reader's hands: wait until it is free. Late
            // readers see the flag and step back until the exchange is done.
            slotWriting_[0].store(true);
            while (slotReaders_[0].load() != 0) std::this_thread::yield();
            std::swap(ring_[0], transferBuffer_);
            slotWriting_[0].store(false);
            transferFailed_ = false;
            break;
        }
        if (ElapsedMs(startTime, TickCount()) >= kNoFrameGiveUpMs || attempt >= kMaxRetryIndex) {
            transferFailed_ = true;
            break;
        }
        if (direct) controller_->ResetPort();
    }
    controller_->CloseStream();
    stopEvent_.Set();
    running_ = false;
    return 0;
}

// ---- Waiting and copying ----

int32_t CVantixU3K9Base::WaitFrame(int32_t milliseconds) {
    if (transferFailed_) return kWaitTransferFailed;
    if (!frameEventOpen_) return kWaitNoNewFrame;
    // A negative time-out is the "no limit" value of the interface.
    const auto timeout = static_cast<uint32_t>(milliseconds);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    uint32_t remaining = timeout;
    for (;;) {
        if (frameEvent_.Wait(remaining) != WaitResult::Signalled) return kWaitNoNewFrame;
        if (!frameEventOpen_) {
            // Released by StopCapture: hand the release on to the next waiter.
            frameEvent_.Set();
            return kWaitNoNewFrame;
        }
        if (transferFailed_) {
            frameEvent_.Set();  // every waiter is to learn of the failure
            return kWaitTransferFailed;
        }
        // Counted, not compared by ring index: with an index alone, exactly
        // four frames since the last copy would look like none.
        if (publishedFrames_ != readFrames_) return kWaitNewFrame;
        // The signal was for a frame that has been copied already (it came
        // while the caller copied): wait on for the rest of the time rather
        // than report "no new frame" long before the time-out.
        if (timeout == kInfinite) continue;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return kWaitNoNewFrame;
        remaining = static_cast<uint32_t>(
            std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
    }
}

int32_t CVantixU3K9Base::CopyFromRing(void* buffer, int64_t size, bool firstSlot, int32_t orientation,
                                      bool markRead) {
    if (buffer == nullptr || frameBytes_ == 0 || size < static_cast<int64_t>(frameBytes_)) return 0;
    int slot = 0;
    int32_t seen = 0;
    uint64_t published = 0;
    for (;;) {
        published = publishedFrames_.load();  // before the index: see PublishTransfer
        seen = writeIndex_.load();
        slot = firstSlot ? 0 : (RingIndex(seen) + kRingSlots - 1) % kRingSlots;
        slotReaders_[slot].fetch_add(1);
        if (!slotWriting_[slot].load()) break;
        // The thread is filling this slot (it wrapped round to the newest
        // one): step back and look again once it has published.
        slotReaders_[slot].fetch_sub(1);
        std::this_thread::yield();
    }
    int32_t copied = 0;
    if (ring_[slot]) {
        CopySlot(slot, static_cast<uint8_t*>(buffer), orientation);
        if (markRead) lastCopiedFrame_ = slotFrames_[slot];
        copied = 1;
    }
    slotReaders_[slot].fetch_sub(1);
    if (copied && markRead) {
        // The frame counts as read up to the index and count it was chosen
        // by, not those current after the copy: a frame published meanwhile
        // stays new. The count never goes back when readers overlap.
        lastReadIndex_ = seen;
        uint64_t read = readFrames_.load();
        while (read < published && !readFrames_.compare_exchange_weak(read, published)) {
        }
    }
    return copied;
}

int32_t CVantixU3K9Base::CopyFrame(void* buffer, int32_t size, int32_t firstSlot, int32_t orientation) {
    return CopyFromRing(buffer, size, firstSlot != 0, orientation, false);
}

int32_t CVantixU3K9Base::CopyFirstSlot(void* buffer, int32_t, int32_t, int32_t, int32_t orientation) {
    if (buffer == nullptr) return -2;
    CopyFromRing(buffer, frameBytes_, true, orientation, false);
    return 0;
}

int32_t CVantixU3K9Base::CopyLatestFrame(void* buffer, int32_t, int32_t, int32_t, int32_t orientation) {
    CopyFromRing(buffer, frameBytes_, false, orientation, true);
    return 0;
}

void CVantixU3K9Base::CopySlot(int slot, uint8_t* buffer, int32_t orientation) {
    const uint8_t* source = ring_[slot].get();
    const size_t bytes = frameBytes_;
    int32_t width = 0;
    int32_t height = 0;
    int32_t layout = 0;
    if (sensor_) {
        const SensorInfo& info = sensor_->Info();
        width = info.areaWidth;
        height = info.areaHeight;
        layout = info.specific84;
    }
    const size_t pixelBytes = (bitMode_ == 1 || bitMode_ == 2) ? 2 : 1;
    // The row geometry is used only when it describes exactly the frame in
    // the slot; otherwise (a window changed since the buffers were sized, a
    // multi-plane frame) the frame is passed on as it is.
    const bool geometryFits = width > 0 && height > 0 &&
                              static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * pixelBytes == bytes;
    const size_t rowBytes = geometryFits ? static_cast<size_t>(width) * pixelBytes : 0;
    const size_t rows = geometryFits ? static_cast<size_t>(height) : 0;

    if (Facts().lastRowCarriesStatus) {
        std::memcpy(buffer, source, bytes);
        // Without a valid information block the head's last row carries
        // status data; it is replaced by the row above it.
        if (sensor_ && geometryFits && rows >= 2 && !sensor_->IsInfoBlockValid()) {
            std::memcpy(buffer + (rows - 1) * rowBytes, source + (rows - 2) * rowBytes, rowBytes);
        }
        return;
    }
    // Word 84 of the sensor record gives the order the sensor reads out in.
    // 2 and 4 deliver each row right to left. With 3 and 4 the stored row
    // order is what orientation 0 asks for, with the others it is what
    // orientation 1 asks for; the other orientation turns the rows over.
    const bool reversePixels = layout == 2 || layout == 4;
    const bool bottomUp = (orientation != 0) != (layout != 3 && layout != 4);
    if (!geometryFits || (!reversePixels && !bottomUp)) {
        std::memcpy(buffer, source, bytes);
        return;
    }
    CopyRows(source, buffer, rowBytes, rows, pixelBytes, reversePixels, bottomUp);
}

}  // namespace vantix
