#pragma once

#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "model/ParameterStore.h"
#include "model/SmartHomeTables.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orvex {

// The sequences that make the editor and the processor agree on everything: read-all copies the
// processor into the store, write-all pushes the store to the processor; two more read and reset the
// smart-home tables. Each runs on its own short-lived thread and reports its end through LinkEvents;
// only one runs at a time.
//
// Every message of a sequence is paced (the write queue is switched off while it runs), so a
// sequence lasts one reply round trip per message plus the pauses it prescribes.
class Synchronizer {
public:
    struct Pauses {
        std::chrono::milliseconds start{100}; // before read-all and write-all
        std::chrono::milliseconds end{50};    // after them
        std::chrono::milliseconds musicFadeStep{100};
        std::chrono::milliseconds zwaveNodeListPoll{30};
        int zwaveNodeListPolls = 200;
        std::chrono::milliseconds zwaveDonePoll{10};
        int zwaveDonePolls = 600;
        std::chrono::milliseconds zwaveReadStart{30};
        std::chrono::milliseconds zwaveBetween{50};
        std::chrono::milliseconds zwaveEnd{100};
    };

    Synchronizer(LinkState& link, ParameterStore& store, CommandEncoder& commands, EqSender& eq,
                 SmartHomeTables& smartHome, LinkEvents* events);
    ~Synchronizer();

    Synchronizer(const Synchronizer&) = delete;
    Synchronizer& operator=(const Synchronizer&) = delete;

    // Start a sequence on its own thread. False (and nothing started) while another one runs.
    bool StartReadAll();
    bool StartWriteAll();
    bool StartReadZWave();
    bool StartResetZWave();
    bool Running() const;
    // True on the thread of a sequence that Shutdown has stopped: the link sends nothing for it, not
    // even on a link that has come up again since.
    bool StoppedSequenceThread() const {
        return m_stopping.load() && m_sequenceThread.load() == std::this_thread::get_id();
    }
    // Waits for the running sequence, if any, to end.
    void Join();
    // Ends the running sequence within `limit` (on the link's tick): its pauses and waits stop at
    // once, then it is joined. A sequence still held after the limit (by an event sink that does not
    // return, say) is not waited for any longer but stays stopped, sending nothing more, until Join or
    // the destructor ends it; no new sequence starts before it has ended. True when nothing was left
    // running.
    bool Shutdown(std::chrono::milliseconds limit);

    // The sequences themselves, run on the caller's thread (the threads above call these).
    void ReadAll();
    void WriteAll();
    void ParseDeviceImage();
    void ReadSmartHomeTables();
    // After a mode file named "m1".."m4" was pushed: make that memory current and save into it
    // (03 m, then 04 m 20 ms later). Nothing for a mode outside 0..3.
    void StorePendingMode(int mode);

    // Test seam: the pauses, and the sleep that implements them.
    void SetPauses(const Pauses& pauses) { m_pauses = pauses; }
    void SetSleepFunction(std::function<void(std::chrono::milliseconds)> sleep);

private:
    // How a sequence thread reports its end, which Running() and Shutdown() look at without joining.
    struct SequenceEnd {
        std::mutex mutex;
        std::condition_variable cv;
        bool ended = false;
    };

    bool StartThread(void (Synchronizer::*proc)());
    void SynchronizeReadThreadProc();
    void SynchronizeWriteThreadProc();
    void SynchronizeReadZWAVEThreadProc();
    void SynchronizeResetThreadProc();
    // The link is gone (closed, or its reader gave up) or the sequence is being shut down.
    bool Down() const {
        return m_link.linkConnected.load() != 1 || m_link.readThreadEnd.load() != 0 || m_stopping.load();
    }
    void Pause(std::chrono::milliseconds ms);
    bool WaitForFlag(std::atomic<int32_t>& flag, std::chrono::milliseconds poll, int polls);
    void RequestInitData();

    LinkState& m_link;
    ParameterStore& m_store;
    CommandEncoder& m_commands;
    EqSender& m_eq;
    SmartHomeTables& m_smartHome;
    LinkEvents* m_events;
    Pauses m_pauses;
    std::function<void(std::chrono::milliseconds)> m_sleep;

    std::mutex m_threadMutex; // starting, joining and shutting down
    std::thread m_thread;
    mutable std::mutex m_endMutex; // guards m_end, which Running() reads without waiting for a join
    std::shared_ptr<SequenceEnd> m_end;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::thread::id> m_sequenceThread{};
};

} // namespace orvex
