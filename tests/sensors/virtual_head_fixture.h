#pragma once
// A controller connected to a fresh virtual camera of a model, with the head
// the test gives it, for the sensor classes of heads with controllers of
// their own: their protocols run on the wire against the emulated head.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/emulator.h"
#include "emulator/head_personality.h"
#include "transport/controller.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace vantix {

class VirtualHeadFixture : public ::testing::Test {
protected:
    // Plugs `model`, installs `head` (kept reachable through the returned
    // pointer) and selects the camera on a controller of the test's own.
    template <typename Head>
    Head* Connect(uint16_t model, std::unique_ptr<Head> head) {
        InstallDeviceDrivers();
        emulator::Emulator::Instance().Reset();
        const std::string path = emulator::Emulator::Instance().Plug(model);
        camera_ = emulator::Emulator::Instance().Find(path);
        camera_->SetUnthrottled(true);
        Head* raw = head.get();
        camera_->ReplaceHead(std::move(head));
        controller_ = std::make_unique<CVtxCy3Cam>();
        controller_->EnumerateDevices();
        bool selected = false;
        for (int32_t i = 0; i < ProcessDeviceTable().Count(); ++i) {
            if (ProcessDeviceTable().DevicePath(i) == path) selected = controller_->SelectDeviceIndex(i) != 0;
        }
        EXPECT_TRUE(selected);
        return raw;
    }
    void TearDown() override {
        controller_.reset();
        camera_.reset();
        emulator::Emulator::Instance().Reset();
    }

    std::shared_ptr<emulator::VirtualCamera> camera_;
    std::unique_ptr<CVtxCy3Cam> controller_;
};

}  // namespace vantix
