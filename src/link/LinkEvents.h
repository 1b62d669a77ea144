#pragma once

#include <cstdint>

namespace orvex {

// The window messages the link sends to the main view. The numbers and the meaning of
// wParam/lParam are the processor protocol's own and are kept as they are.
inline constexpr uint32_t WM_DEV_REMOTE_KEY = 1001;   // wParam: key code; sent, not posted
inline constexpr uint32_t WM_DEV_SYNC_DONE = 1002;    // wParam: 0 read-all, 1 write-all
inline constexpr uint32_t WM_DEV_LINK_TIMEOUT = 1006; // no TCP data for more than 3 s
inline constexpr uint32_t WM_DEV_HOST_BUSY = 1007;    // the network host serves another editor
inline constexpr uint32_t WM_DEV_ZWAVE_EVENT = 3024;  // wParam: Z-Wave function id, lParam: details
inline constexpr uint32_t WM_DEV_REFRESH = 3025;      // wParam: what was refreshed (below), lParam: its detail

// The wParam codes of WM_DEV_REFRESH.
inline constexpr uint32_t kRefreshSmartData = 8; // the smart-home read or reset ended; lParam 0
inline constexpr uint32_t kRefreshLoadMode = 9;  // a scene run: lParam 0 when it starts, 1 when it ends

// Where those messages leave the core. The GUI queues each call onto its own thread; tests
// record them. Every method may be called from any link thread; none may block for long,
// except OnRemoteKey, which the reader deliberately waits on.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;

    virtual void OnRemoteKey(uint32_t /*keyCode*/) {}
    virtual void OnSyncDone(uint32_t /*wParam*/) {}
    virtual void OnLinkTimeout() {}
    virtual void OnHostBusy() {}
    // The host ended the network link, or a receive failed, without the editor asking for it.
    virtual void OnLinkLost() {}
    virtual void OnZWaveEvent(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    virtual void OnRefresh(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
    // A level reply is in the store: what shows live levels reads them now, rather than on a clock
    // of its own.
    virtual void OnLevels() {}
    // The processor said which mode memory it holds now (its front panel or its own remote loaded
    // one); the store has it already.
    virtual void OnCurrentMode() {}
    // The processor changed a parameter by itself (its own remote or front panel), outside any
    // synchronisation; the store has the new value already.
    virtual void OnStoreReported() {}
    // The processor refused a parameter (reply 0A with a non-zero error code). The decoder calls
    // this at most once per run; the GUI shows "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ".
    virtual void OnParameterError(uint8_t /*code*/, uint8_t /*cmd*/, uint8_t /*sub*/) {}
};

} // namespace orvex
