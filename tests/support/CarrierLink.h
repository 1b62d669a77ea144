#pragma once

#include "link/DeviceLink.h"
#include "model/ParameterStore.h"
#include "sim/FakeHidDevice.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

namespace orvex::test {

// How the editor reaches the processor: through the network host or on USB.
enum class Carrier { Tcp, Usb };

inline void PrintTo(Carrier carrier, std::ostream* os) {
    *os << (carrier == Carrier::Tcp ? "TCP" : "USB");
}

// The editor's core wired as the application wires it, reaching a simulated processor over a
// real loopback socket or through the fake HID device, by the test's parameter.
class CarrierTest : public ::testing::TestWithParam<Carrier> {
protected:
    static constexpr const char* kUsbPath = "/dev/hidraw5";

    void StartCarrier(LinkEvents& events, sim::ProcessorOptions processor, int replyDelayMs) {
        model = std::make_unique<sim::ProcessorModel>(processor);
        if (GetParam() == Carrier::Tcp) {
            link = std::make_unique<DeviceLink>(store, &events);
            sim::HostOptions options;
            options.port = 0;
            options.heartbeatMs = 200;
            options.replyDelayMs = replyDelayMs;
            host = std::make_unique<sim::NetworkHost>(*model, options);
            std::string error;
            ASSERT_TRUE(host->Start(&error)) << error;
            ASSERT_TRUE(link->TcpConnect("127.0.0.1", host->Port()));
        } else {
            backend = std::make_unique<sim::FakeHidBackend>(*model);
            backend->AddInterface(kUsbPath, kProcessorVendorId, kProcessorProductId);
            backend->SetReplyDelay(std::chrono::milliseconds(replyDelayMs));
            link = std::make_unique<DeviceLink>(store, &events, TcpTimings{}, backend.get());
            ASSERT_EQ(link->UsbConnect(), 1);
        }
    }

    void TearDown() override {
        if (link) {
            link->Sync().Join();
            link->CloseLink();
        }
        link.reset();
        if (host)
            host->Stop();
    }

    std::unique_ptr<sim::ProcessorModel> model;
    std::unique_ptr<sim::NetworkHost> host;
    std::unique_ptr<sim::FakeHidBackend> backend;
    ParameterStore store;
    std::unique_ptr<DeviceLink> link;
};

} // namespace orvex::test
