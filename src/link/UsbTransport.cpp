#include "link/UsbTransport.h"

#include "link/DebugSink.h"
#include "link/Tick.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orvex {
namespace {

bool SamePath(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string HexLine(const char* label, std::span<const uint8_t> bytes) {
    std::string line = label;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        line += buf;
    }
    line += '\n';
    return line;
}

} // namespace

UsbTransport::UsbTransport(LinkState& link, ParameterStore& store, MessageSink& decoder, HidBackend& backend,
                           UsbTimings timings)
    : m_link(link), m_store(store), m_decoder(decoder), m_backend(backend), m_timings(timings) {}

UsbTransport::~UsbTransport() {
    if (m_link.networkMode.load() == 0)
        UsbClose();
    std::lock_guard lock(m_connectMutex);
    ReleaseDevice();
}

bool UsbTransport::TryOpen(const HidInterfaceInfo& candidate) {
    DebugPrintf("设备路径:\r\n%s", candidate.path.c_str());
    DebugOut("尝试打开通信端口....");
    std::unique_ptr<HidDevice> device = m_backend.Open(candidate.path);
    if (!device) {
        DebugOut("无法打开通信端口。不能读取设备的信息!(设备连接可能不正确?)\n");
        return false;
    }
    DebugOut("打开通信端口成功!\n");
    DebugOut("正在读取设备的标识...\n");
    uint16_t vendor = 0, product = 0;
    if (!device->GetAttributes(vendor, product)) {
        DebugOut("查询设备信息出错!\n");
        return false; // the device closes with its handle
    }
    if (vendor != kProcessorVendorId || product != kProcessorProductId)
        return false;
    {
        std::lock_guard lock(m_pathMutex);
        m_devicePath = candidate.path;
    }
    // A paced write of another thread reads the handle under the I/O lock; it changes under it.
    std::lock_guard ioLock(m_link.ioLock);
    m_device = std::move(device);
    return true;
}

void UsbTransport::ReleaseDevice() {
    StopWriter();
    // Only once the reader has left may the handle go.
    if (m_reader.joinable()) {
        if (m_device)
            m_device->Cancel();
        m_reader.join();
    }
    std::lock_guard ioLock(m_link.ioLock);
    m_device.reset();
}

int UsbTransport::UsbConnect() {
    std::lock_guard connectLock(m_connectMutex);
    if (m_link.linkConnected.load() == 1 || m_link.networkMode.load() == 1)
        return 0;
    ReleaseDevice(); // a reader that outlived an earlier close
    m_link.RecreateEvents();
    m_link.readThreadEnd.store(0);

    DebugOut("开始枚举usb设备");
    const std::vector<HidInterfaceInfo> interfaces = m_backend.Enumerate();
    bool opened = false;
    for (size_t i = 0; i < interfaces.size() && i < static_cast<size_t>(kMaxUsbInterfaces); ++i) {
        DebugOut("枚举usb设备成功");
        if (!interfaces[i].active)
            continue;
        if (TryOpen(interfaces[i])) {
            opened = true;
            break;
        }
    }
    if (!opened) {
        DebugOut("连接目标设备失败，没有找到目标设备");
        return 0;
    }
    DebugOut("连接目标设备成功!");
    StartWriter(); // before the link shows up: a write made from then on has a writer to take it
    m_link.linkConnected.store(1);
    m_reader = std::thread(&UsbTransport::ReadUsbThreadProc, this);
    return 1;
}

void UsbTransport::ReadUsbThreadProc() {
    m_link.readThreadEnd.store(0);
    DebugOut("start thread: ReadUsbThreadProc \n");
    const std::shared_ptr<HidDevice> device = m_device;
    std::array<uint8_t, kUsbReportSize> report{};
    while (m_link.linkConnected.load() == 1) {
        report.fill(0);
        const int n = device ? device->Read(report) : -1;
        if (n <= 0) {
            DebugOut("Read Usb Error will return !\n");
            m_link.pollEnabled.store(0);
            m_link.readThreadEnd.store(1);
            m_link.replyEvent.Set(); // release a paced writer that waits for a reply that cannot come
            break;
        }
        {
            std::lock_guard lock(m_link.ioLock);
            DebugOut(HexLine("Read:", std::span<const uint8_t>(report).subspan(1)));
        }
        m_decoder.DecodeReply(report);
    }
    m_link.readThreadEnded.Set();
    DebugOut("End thread: ReadUsbThreadProc \n");
}

int UsbTransport::WriteUsbData(std::span<const uint8_t> body, bool paced) {
    return Submit(body, paced, false, std::chrono::milliseconds(0));
}

int UsbTransport::WriteUsbDataSpaced(std::span<const uint8_t> body, std::chrono::milliseconds gap) {
    return Submit(body, true, true, gap);
}

int UsbTransport::Submit(std::span<const uint8_t> body, bool paced, bool spaced, std::chrono::milliseconds gap) {
    if (m_link.linkConnected.load() == 0)
        return 0;
    if (m_link.readThreadEnd.load() != 0) {
        DebugOut("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return 0;
    }
    PendingWrite write;
    if (!BuildUsbReport(body, write.report))
        return 0; // a body longer than a report is refused, never cut
    write.paced = paced;
    write.spaced = spaced;
    write.gap = gap;
    // With the queue off the caller is a sequence (or the command-line tool) that goes on only once
    // its message is out. An immediate write never waits: the reader acknowledges module frames
    // through here, and the writer may be waiting for that very reader.
    const bool waits = paced && m_link.queueEnabled.load() == 0;
    std::future<int> written;
    if (waits) {
        write.written = std::make_shared<std::promise<int>>();
        written = write.written->get_future();
    }
    {
        std::lock_guard lock(m_writeMutex);
        if (m_writerStop.load())
            return 0;
        const bool repeated =
            !waits && paced && !spaced && std::any_of(m_writes.begin(), m_writes.end(), [&](const auto& w) {
                return !w.written && w.paced && !w.spaced && w.report == write.report;
            });
        if (repeated)
            return static_cast<int>(kUsbReportSize);
        m_writes.push_back(std::move(write));
    }
    m_writeWake.notify_all();
    return waits ? written.get() : static_cast<int>(kUsbReportSize);
}

bool UsbTransport::WaitUntilWritten(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_writeMutex);
    return m_writeWake.wait_for(lock, limit, [&] { return m_writes.empty() && !m_writing; });
}

void UsbTransport::StartWriter() {
    {
        std::lock_guard lock(m_writeMutex);
        m_writes.clear();
        m_writerStop.store(false);
    }
    m_writer = std::thread(&UsbTransport::WriteUsbThreadProc, this);
}

void UsbTransport::StopWriter() {
    {
        std::lock_guard lock(m_writeMutex);
        m_writerStop.store(true);
    }
    m_writeWake.notify_all();
    m_link.replyEvent.Set(); // ends a paced wait at once
    if (m_writer.joinable())
        m_writer.join();
    std::deque<PendingWrite> dropped;
    {
        std::lock_guard lock(m_writeMutex);
        dropped.swap(m_writes);
    }
    m_writeWake.notify_all();
    for (PendingWrite& w : dropped) {
        if (w.written)
            w.written->set_value(0);
    }
}

void UsbTransport::WriteUsbThreadProc() {
    DebugOut("start thread: WriteUsbThreadProc \n");
    uint32_t lastWriteTick = TickNow();
    for (;;) {
        PendingWrite write;
        {
            std::unique_lock lock(m_writeMutex);
            m_writing = false;
            m_writeWake.notify_all(); // WaitUntilWritten looks whether all is out
            m_writeWake.wait(lock, [&] { return m_writerStop.load() || !m_writes.empty(); });
            if (m_writerStop.load())
                break;
            write = std::move(m_writes.front());
            m_writes.pop_front();
            m_writing = true;
        }
        const int written = WriteOne(write, lastWriteTick);
        if (write.written)
            write.written->set_value(written);
    }
    {
        std::lock_guard lock(m_writeMutex);
        m_writing = false;
    }
    DebugOut("End thread: WriteUsbThreadProc \n");
}

int UsbTransport::WriteOne(const PendingWrite& write, uint32_t& lastWriteTick) {
    if (write.paced && !m_link.replyEvent.WaitTicks(m_timings.replyWait))
        DebugOut("WaitForSingleObject Time Out \r\n ");
    // A spaced report keeps its distance from the one before it, on the tick.
    const auto gap = static_cast<uint32_t>(std::max<int64_t>(0, write.gap.count()));
    while (!m_writerStop.load() && TicksSince(lastWriteTick) < gap)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (m_writerStop.load())
        return 0;
    std::lock_guard lock(m_link.ioLock);
    if (!m_device || m_link.linkConnected.load() == 0)
        return 0;
    const int written = std::max(0, m_device->Write(write.report));
    lastWriteTick = TickNow();
    DebugOut(HexLine("Write:", std::span<const uint8_t>(write.report).subspan(1, 59)));
    if (written < static_cast<int>(kUsbReportSize))
        DebugOut("usb数据写入出错");
    return written;
}

void UsbTransport::UsbClose() {
    std::lock_guard connectLock(m_connectMutex);
    if (m_link.linkConnected.load() != 1 || !m_device)
        return;
    m_store.ClearLevelRecord();
    m_link.linkConnected.store(0);
    StopWriter();
    m_device->Cancel();
    if (!m_link.readThreadEnded.Wait(m_timings.readerExitWait)) {
        // The reader is held up (for instance by a message the user interface has not taken
        // yet); it is joined and the handle released at the next connect or on destruction.
        DebugOut("wait read thread exited time out !\n");
        return;
    }
    ReleaseDevice();
}

int UsbTransport::HandleDeviceArrival() {
    if (m_link.linkConnected.load() != 0)
        return 0;
    m_link.networkMode.store(0);
    return UsbConnect();
}

bool UsbTransport::HandleDeviceRemoval(std::string_view path) {
    if (m_link.networkMode.load() == 1 && m_link.linkConnected.load() == 1)
        return false; // a TCP link is up: USB comings and goings are not ours
    DebugOut("removed!\n");
    if (!SamePath(path, DevicePath()) || m_link.linkConnected.load() != 1)
        return false;
    UsbClose();
    return true;
}

std::string UsbTransport::DevicePath() const {
    std::lock_guard lock(m_pathMutex);
    return m_devicePath;
}

} // namespace orvex
