// The preview worker: waits for each frame of the running capture, copies it
// into the raw image, converts it, hands it to the application and announces
// it to the callback window.
#include <atomic>
#include <new>

#include "catalog/model_catalog.h"
#include "imaging/frame_converter.h"
#include "imaging/frame_reduction.h"
#include "platform/clock.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {
constexpr int32_t kFrameWaitMs = 3000;
constexpr uint32_t kRateIntervalMs = 1000;

template <typename T>
void Store(T& field, T value) {
    std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}
}  // namespace

bool CVantix::StartPreviewWorker() {
    previewThread_.Join();  // a worker that ended by itself (camera lost)
    previewStop_.Reset();
    previewRun_ = 1;
    return previewThread_.Start([this] { RunPreviewWorker(); }, vantix::ThreadPriority::AboveNormal);
}

// Copies the newest frame into the raw image. The frame must fit the image:
// a camera whose frames outgrew the prepared image (another window set
// behind the session's back) is a failed copy, not an overrun.
void CVantix::StartFrameCount() {
    std::lock_guard hold(frameMetaLock_);
    frameCountStarted_ = false;
    framesDelivered_ = 0;
}

void CVantix::NoteDeliveredFrame() {
    const vantix::RingFrame frame = engine_->LastCopiedFrame();
    const vantix::CDibImage* raw = RawImage();
    std::lock_guard hold(frameMetaLock_);
    if (!frameCountStarted_) {
        frameCountStarted_ = true;
        firstFrameCounter_ = frame.frameCounter;
    }
    ++framesDelivered_;
    // The camera numbers every frame it sends: the frames it sent since the
    // first one delivered, less those delivered, were dropped on the way.
    const uint64_t sent = uint64_t{frame.frameCounter - firstFrameCounter_} + 1;
    frameMeta_.frameCounter = frame.frameCounter;
    frameMeta_.droppedFrames = static_cast<uint32_t>(sent > framesDelivered_ ? sent - framesDelivered_ : 0);
    frameMeta_.timestampNs = frame.arrivalNs;
    frameMeta_.width = geometry_.width;
    frameMeta_.height = geometry_.height;
    frameMeta_.bitsPerPixel = vantix::kBitsPerColorMode[static_cast<size_t>(activeColorMode_)];
    frameMeta_.imageWidth = raw != nullptr ? raw->Width() : 0;
    frameMeta_.imageHeight = raw != nullptr ? raw->Height() : 0;
    frameMetaValid_ = true;
}

int32_t CVantix::GetFrameMetadata(VantixFrameMetadata* metadata) {
    if (metadata == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    std::lock_guard hold(frameMetaLock_);
    if (!frameMetaValid_) {
        RecordError(vantix::kErrorMemory);
        return 0;
    }
    *metadata = frameMeta_;
    return 1;
}

bool CVantix::FetchFrame() {
    vantix::CDibImage* raw = RawImage();
    if (raw == nullptr || raw->IsEmpty()) return false;
    const uint32_t frameBytes = engine_->FrameBytes();
    if (frameBytes == 0) return false;
    if (frameBytes <= raw->ImageBytes()) {
        engine_->CopyLatestFrame(raw->Bits(), 0, 0, 0, 1);
    } else if (!FetchReducedFrame(*raw, frameBytes)) {
        return false;
    }
    const int32_t packedRow = raw->Width() * raw->BytesPerPixel();
    if (packedRow != raw->Stride()) RepackRawRows(raw);
    return true;
}

// A frame of several planes, or of 16-bit samples in an 8-bit colour mode,
// gives its first plane at the raw image's sample width. Any other frame that
// outgrew the image is a failed copy.
bool CVantix::FetchReducedFrame(vantix::CDibImage& raw, uint32_t frameBytes) {
    const size_t pixels = static_cast<size_t>(raw.Width()) * static_cast<size_t>(raw.Height());
    const uint32_t planes = vantix::LookupModel(modelId_.load()).engine.planes;
    const uint32_t frameSampleBytes = vantix::FrameSampleBytes(frameBytes, pixels, planes);
    const uint32_t rawSampleBytes = raw.BytesPerPixel();
    if (frameSampleBytes == 0 || rawSampleBytes > frameSampleBytes) return false;
    if (frameStagingBytes_ < frameBytes) {
        frameStaging_.reset(new (std::nothrow) uint8_t[frameBytes]);
        frameStagingBytes_ = frameStaging_ ? frameBytes : 0;
        if (!frameStaging_) return false;
    }
    engine_->CopyLatestFrame(frameStaging_.get(), 0, 0, 0, 1);
    return vantix::ReduceFrame(frameStaging_.get(), frameSampleBytes, raw.Bits(), rawSampleBytes, pixels);
}

void CVantix::RunPreviewWorker() {
    while (previewRun_ != 0) {
        // A positive int32 stays below the platform's "no limit" value, so
        // even a damaged wait time ends; a stop ends the pause at once.
        const int32_t pause = waitTimeMs_;
        if (pause > 0) previewStop_.Wait(static_cast<uint32_t>(pause));
        if (previewRun_ != 1) continue;
        const int32_t status = engine_->WaitFrame(kFrameWaitMs);
        if (status == vantix::kWaitTransferFailed) {
            previewRun_ = 0;
            vantix::ScopedLock lock(imageLock_);
            PostFrameMessage(0, vantix::kErrorDeviceLost);
            RecordError(vantix::kErrorDeviceLost);
            break;
        }
        if (status != vantix::kWaitNewFrame) continue;

        vantix::ScopedLock lock(imageLock_);
        if (!FetchFrame()) {
            PostFrameMessage(0, vantix::kErrorTransfer);
            RecordError(vantix::kErrorTransfer);
            continue;
        }
        NoteDeliveredFrame();
        const vantix::CDibImage* raw = RawImage();
        FrameInfo& info = frameInfo_[static_cast<size_t>(frameInfoNext_)];
        frameInfoNext_ = (frameInfoNext_ + 1) % kFrameInfoRecords;
        // The application may still be reading an older use of this record:
        // fields are stored whole (relaxed atomic stores, plain moves on this
        // platform) so a reader never sees half a value.
        Store(info.width, raw->Width());
        Store(info.height, raw->Height());
        Store(info.clientBuffer, clientBuffer_);
        Store(info.bitsPerPixel, vantix::kBitsPerColorMode[static_cast<size_t>(activeColorMode_)]);
        ++frameCount_;
        const uint32_t now = vantix::TimeGetTime();
        const uint32_t elapsed = vantix::ElapsedMs(lastRateTime_, now);
        if (elapsed > kRateIntervalMs) {
            frameRate_ = static_cast<int32_t>(static_cast<double>(frameCount_) * 10000.0 / static_cast<double>(elapsed));
            frameCount_ = 0;
            lastRateTime_ = now;
        }
        Store(info.rateTenths, frameRate_);
        // The application's buffer is filled by the conversion itself when
        // it can be (rows copied while still in the cache, on every thread);
        // otherwise, or when it is too small, by the copy afterwards, which
        // also reports the error.
        const bool wantsCopy = clientBuffer_ != nullptr && clientBufferSize_ != 0;
        vantix::OutputCopy copy;
        copy.image = ClientImage();
        copy.destination = static_cast<uint8_t*>(clientBuffer_);
        copy.capacity = clientBufferSize_ > 0 ? static_cast<size_t>(clientBufferSize_) : 0;
        copy.bottomUp = clientOrientation_ == 0;
        const bool copied = ConvertFrame(wantsCopy ? &copy : nullptr);
        recorderNewFrame_ = 1;
        imageAvailable_ = 1;
        DrawFrame();
        if (wantsCopy && !copied && !CopyClientImage(clientBuffer_, clientBufferSize_, clientOrientation_)) {
            continue;
        }
        if (previewRun_ == 1 && callbackWindow_ != nullptr) {
            PostFrameMessage(reinterpret_cast<uintptr_t>(&info), 0);
        }
    }
}
