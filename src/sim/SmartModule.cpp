// The simulated smart-home module: a Z-Wave controller with a few plugs, as the editor drives it.
//
// How it behaves where the editor's side leaves it open:
//
// - Frames. Every well-formed data frame (01, length, type, function, parameters, checksum) is
//   answered at once with the module's acknowledge (message 12 carrying 06). A lone acknowledge,
//   a frame whose length or checksum is wrong, or anything that is not a data frame is answered
//   with nothing at all: the processor relays the module's answers only, and the module answers
//   neither acknowledges nor broken frames. Nothing on the editor's side waits for them (Z-Wave
//   frames are not paced), so silence costs it nothing.
// - Callback ids. A request whose callback id is 0 gets no callback, as in the Serial API. The
//   editor's set-value, include, exclude and set-default frames all carry one; its stop and abort
//   frames carry none (or 0) and are therefore acknowledged only. In particular the stop after an
//   exclusion never produces a second "done" that would start another inclusion.
// - Send data (0x13). Only the callback follows the acknowledge (status 0 after 40 ms for an
//   included node, status 1 after 300 ms for a node that is not in the network, the controller
//   included); the immediate "request accepted" response of a real controller is left out because
//   the editor would read its bytes as a callback. A Basic Set stores the value: a switch plug keeps
//   0..99 and 0xFF, a dimmer 0..99 (0xFF means 99), values 0x80..0xFE change neither. A Basic Get
//   makes the node report its value. The editor's abort of a send data (function 0x13 with the
//   parameters 05 00) withdraws the callbacks of the send data still on their way.
// - Infrared plugs take 192 + k as "learn key k": callback status 0, then the plug's report 2
//   (ready) after 100 ms; a key from a remote makes it report 3 (learned) or, garbled, 4 (checksum
//   error); no key within 10 s gives 5 (timed out). A learn forgets what the key held before, so a
//   learn that fails leaves the key cleared. 128 + k transmits key k: report 6 (sent) when the key
//   is learned, 7 (failed) when it is not or was cleared. Other values switch the plug's relay.
//   Reports are Basic Reports (command class 0x20, 0x03) in an application command (0x04).
// - Add node (0x4A) and remove node (0x4B), mode 1 (any node; the high option bits are ignored),
//   callback id the second parameter. Status 1 (ready) after 20 ms; then the module waits for a plug
//   button as long as it takes: the editor's wait dialog decides when to give up. A press during an
//   inclusion gives status 2 (node found) after 50 ms and status 5 with the lowest free node id >= 2
//   400 ms later (7 when all 231 are taken); a press during an exclusion gives status 6 after 200 ms
//   with the node removed, or node 0 for a plug that was not in this network (what the first press
//   of the editor's "add" yields). With the failure option a press gives 7 instead. The operation
//   ends with its last report; stop (mode 5) and abort end it at once and nothing scheduled for it
//   is sent afterwards. A new add or remove replaces a running one. A plug already in the network
//   ignores an inclusion. Removing a node leaves the plug memory alone: the editor owns that memory.
// - Set default (0x42) forgets every node but the controller, clears the plug and scene memory and
//   reports its callback after 200 ms.
// - Dead nodes (a fault option) stay in the node list but answer nothing: no callback, no report,
//   so that the editor's own time-outs and abort are what end an operation on them. A real
//   controller would report "no acknowledgement"; that case is the node that is not in the network.
// - The module leaves the factory with three plugs and six scenes, so a user sees something:
//   node 2 "Floor lamp" (switch), node 3 "Wall light" (dimmer at 40), node 4 "TV" (infrared plug
//   with keys 1..4 learned), and scenes that switch them, wait, send the TV's first key and select an
//   HDMI input.

#include "sim/SmartModule.h"

#include "link/Bytes.h"
#include "link/MessageIds.h"
#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace orvex::sim {

// ---- Outbox -------------------------------------------------------------------------------------

void Outbox::Post(int64_t dueMs, Message message) {
    m_entries.push_back({dueMs, m_order++, std::move(message), {}});
}

void Outbox::Schedule(int64_t dueMs, Action action) {
    m_entries.push_back({dueMs, m_order++, {}, std::move(action)});
}

std::vector<Message> Outbox::TakeDue(int64_t nowMs) {
    std::vector<Message> due;
    for (;;) {
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == m_entries.end() || next->due > nowMs)
            break;
        Entry entry = std::move(*next);
        m_entries.erase(next);
        if (entry.action)
            entry.action(); // may add entries: the search starts again
        else
            due.push_back(std::move(entry.message));
    }
    return due;
}

int64_t Outbox::NextDue() const {
    int64_t next = INT64_MAX;
    for (const Entry& e : m_entries)
        next = std::min(next, e.due);
    return next;
}

// ---- SmartModule --------------------------------------------------------------------------------

namespace {

constexpr uint8_t kAck = kZWaveAck;
constexpr uint8_t kBasic = 0x20;
constexpr uint8_t kBasicSet = 0x01;
constexpr uint8_t kBasicGet = 0x02;
constexpr uint8_t kBasicReport = 0x03;
constexpr uint8_t kModeAny = 0x01;
constexpr uint8_t kModeStop = 0x05;

// The status reports of add node and remove node.
constexpr uint8_t kStatusReady = 1;
constexpr uint8_t kStatusNodeFound = 2;
constexpr uint8_t kStatusAdded = 5;
constexpr uint8_t kStatusRemoved = 6;
constexpr uint8_t kStatusFailed = 7;

// Infrared plug reports.
constexpr uint8_t kIrReady = 2;
constexpr uint8_t kIrLearned = 3;
constexpr uint8_t kIrChecksum = 4;
constexpr uint8_t kIrTimedOut = 5;
constexpr uint8_t kIrSent = 6;
constexpr uint8_t kIrSendFailed = 7;

// A module frame as the processor relays it: message 12, count, frame.
Message Relay(std::span<const uint8_t> frame) {
    // Sized once and filled in place: appending to a two-byte braced vector makes GCC 12 at -O3 warn
    // of a copy out of bounds that cannot happen.
    Message m(frame.size() + 2);
    m[0] = 0x12;
    m[1] = static_cast<uint8_t>(frame.size());
    std::copy(frame.begin(), frame.end(), m.begin() + 2);
    return m;
}

bool WellFormed(std::span<const uint8_t> frame) {
    if (frame.size() < 5 || frame[0] != 0x01 || frame[1] != frame.size() - 2)
        return false;
    uint8_t x = 0xFF;
    for (size_t i = 1; i + 1 < frame.size(); ++i)
        x ^= frame[i];
    return x == frame.back();
}

// The key code a remote sends for learn requests answered by the demonstration option.
uint8_t DemoKeyCode(int key) {
    return static_cast<uint8_t>(0x10 + key);
}

} // namespace

SmartModule::SmartModule(Outbox& outbox, SmartModuleOptions options)
    : m_outbox(outbox), m_options(std::move(options)), m_memory(kSmartMemoryEnd, 0) {
    Seed();
    for (int node : m_options.deadNodes)
        SetNodeDead(node, true);
}

void SmartModule::Seed() {
    m_nodes = {};
    m_nodes[1].present = true; // the controller itself

    struct SeedPlug {
        int node;
        PlugKind kind;
        uint8_t recordType;
        std::u16string_view name;
        uint8_t value;
    };
    static constexpr SeedPlug kPlugs[] = {
        {2, PlugKind::Switch, kPlugTypeSwitch, u"Floor lamp", 0},
        {3, PlugKind::Dimmer, kPlugTypeDimmer, u"Wall light", 40},
        {4, PlugKind::Infrared, kPlugTypeSwitch, u"TV", 0},
    };
    for (const SeedPlug& p : kPlugs) {
        Node& n = m_nodes[static_cast<size_t>(p.node)];
        n.present = true;
        n.kind = p.kind;
        n.value = p.value;
        const PlugRecord record = MakePlugRecord(p.recordType, p.name);
        std::copy(record.begin(), record.end(), m_memory.begin() + kPlugRecordSize * p.node);
    }
    Node& tv = m_nodes[4];
    for (int k = 0; k < 4; ++k) {
        tv.codes[static_cast<size_t>(k)] = DemoKeyCode(k);
        tv.learned[static_cast<size_t>(k)] = true;
    }

    // Scenes: pairs of target (node, 240 delay, 254 HDMI input) and value; the rest stay empty.
    static const std::vector<std::vector<uint8_t>> kScenes = {
        {2, 0, 3, 30, 4, 128, 240, 1, 254, 1}, // TV
        {2, 0, 3, 10, 4, 128, 240, 2, 254, 0}, // Movie
        {2, 99, 3, 60},                        // Karaoke
        {3, 40, 2, 0},                         // Music
        {2, 99, 3, 99, 240, 1, 4, 128},        // power on
        {4, 128, 240, 1, 3, 0, 2, 0},          // power off
    };
    for (size_t s = 0; s < kScenes.size(); ++s)
        std::copy(kScenes[s].begin(), kScenes[s].end(), m_memory.begin() + kSceneMemoryAddress + kSceneRecordSize * s);
}

void SmartModule::SetNodeDead(int node, bool dead) {
    if (node >= kFirstPlugNode && node < kNodeCount)
        m_nodes[static_cast<size_t>(node)].dead = dead;
}

void SmartModule::SetNodePresent(int node, bool present, PlugKind kind) {
    if (node <= 0 || node >= kNodeCount)
        return;
    if (!present) {
        Forget(node);
        return;
    }
    Node& n = m_nodes[static_cast<size_t>(node)];
    n.present = true;
    n.kind = kind;
}

bool SmartModule::NodePresent(int node) const {
    return node >= 0 && node < kNodeCount && m_nodes[static_cast<size_t>(node)].present;
}

PlugKind SmartModule::Kind(int node) const {
    return NodePresent(node) ? m_nodes[static_cast<size_t>(node)].kind : PlugKind::Switch;
}

uint8_t SmartModule::NodeValue(int node) const {
    return NodePresent(node) ? m_nodes[static_cast<size_t>(node)].value : 0;
}

bool SmartModule::KeyLearned(int node, int key) const {
    return NodePresent(node) && key >= 0 && key < kKeysPerPlug &&
           m_nodes[static_cast<size_t>(node)].learned[static_cast<size_t>(key)];
}

bool SmartModule::Answers(int node) const {
    return node >= kFirstPlugNode && node < kNodeCount && m_nodes[static_cast<size_t>(node)].present &&
           !m_nodes[static_cast<size_t>(node)].dead;
}

void SmartModule::Forget(int node) {
    if (node >= kFirstPlugNode && node < kNodeCount) {
        const bool dead = m_nodes[static_cast<size_t>(node)].dead;
        const uint64_t epoch = m_nodes[static_cast<size_t>(node)].learnEpoch;
        m_nodes[static_cast<size_t>(node)] = Node{};
        m_nodes[static_cast<size_t>(node)].dead = dead;
        m_nodes[static_cast<size_t>(node)].learnEpoch = epoch + 1; // a learn still running ends silently
    }
}

int SmartModule::LowestFreeNode() const {
    for (int node = kFirstPlugNode; node < kNodeCount; ++node)
        if (!m_nodes[static_cast<size_t>(node)].present)
            return node;
    return -1;
}

void SmartModule::PostFrame(int64_t due, uint8_t function, std::span<const uint8_t> parameters, uint8_t type) {
    m_outbox.Post(due, Relay(BuildZWaveFrame(function, parameters, type)));
}

void SmartModule::PostNodeStatus(int64_t due, uint8_t status, uint8_t node) {
    const uint8_t function = m_op == Operation::Adding ? zwave::AddNode : zwave::RemoveNode;
    if (function == zwave::AddNode && status == kStatusAdded) {
        // Node information: basic device class routing slave, generic class by the plug's kind.
        const uint8_t generic = Kind(node) == PlugKind::Dimmer ? 0x11 : 0x10;
        const std::array<uint8_t, 7> p = {m_opCallback, status, node, 3, 0x04, generic, 0x01};
        PostFrame(due, function, p);
        return;
    }
    const std::array<uint8_t, 4> p = {m_opCallback, status, node, 0};
    PostFrame(due, function, p);
}

void SmartModule::PostReport(int64_t due, int node, uint8_t value) {
    // Application command: receive status, source node, command length, Basic Report, value.
    const std::array<uint8_t, 6> p = {0x00, static_cast<uint8_t>(node), 3, kBasic, kBasicReport, value};
    PostFrame(due, zwave::ApplicationCommand, p);
}

std::vector<Message> SmartModule::HandleFrame(std::span<const uint8_t> frame, int64_t now) {
    ++m_frames;
    if (frame.size() == 1 && frame[0] == kAck)
        return {}; // the editor acknowledging one of ours
    if (!WellFormed(frame)) {
        ++m_refused;
        return {};
    }
    std::vector<Message> replies{Relay(std::span(&kAck, 1))};
    const uint8_t function = frame[3];
    const std::span<const uint8_t> p = frame.subspan(4, frame.size() - 5);
    switch (function) {
    case zwave::InitData: { // version, capabilities, bitmap length, node bitmap
        std::vector<uint8_t> data{0x05, 0x08, 29};
        std::array<uint8_t, 29> bitmap{};
        for (int node = 1; node < kNodeCount; ++node)
            if (m_nodes[static_cast<size_t>(node)].present)
                bitmap[static_cast<size_t>((node - 1) / 8)] |= static_cast<uint8_t>(1u << ((node - 1) % 8));
        data.insert(data.end(), bitmap.begin(), bitmap.end());
        replies.push_back(Relay(BuildZWaveFrame(function, data, zwave::Response)));
        break;
    }
    case zwave::SendData:
        SendData(p, now);
        break;
    case zwave::AddNode:
    case zwave::RemoveNode:
        StartNodeOperation(function, p, now);
        break;
    case zwave::SetDefault:
        SetDefault(p, now);
        break;
    default:
        break; // acknowledged, nothing more
    }
    return replies;
}

void SmartModule::SendData(std::span<const uint8_t> p, int64_t now) {
    // The editor's abort of a running send data: node byte 05, no payload, no options.
    if (p.size() == 2 && p[1] == 0) {
        ++m_sendEpoch;
        return;
    }
    // node, length, payload, transmit options, callback id
    if (p.size() < 2 || p.size() < static_cast<size_t>(p[1]) + 4)
        return;
    const int node = p[0];
    const size_t length = p[1];
    const std::span<const uint8_t> payload = p.subspan(2, length);
    const uint8_t callback = p[2 + length + 1];
    const uint64_t epoch = m_sendEpoch;
    auto callbackAt = [this, callback, epoch](int64_t due, uint8_t status) {
        if (callback == 0)
            return;
        m_outbox.Schedule(due, [this, callback, epoch, due, status] {
            if (epoch != m_sendEpoch)
                return; // aborted
            const std::array<uint8_t, 2> cb = {callback, status};
            PostFrame(due, zwave::SendData, cb);
        });
    };
    if (!NodePresent(node) || node < kFirstPlugNode) {
        callbackAt(now + SmartModuleTimings::kNoAck, 1);
        return;
    }
    if (!Answers(node))
        return; // a dead node: nothing ever comes back
    callbackAt(now + SmartModuleTimings::kCallback, 0);
    if (payload.size() >= 3 && payload[0] == kBasic && payload[1] == kBasicSet)
        BasicSet(node, payload[2], now);
    else if (payload.size() >= 2 && payload[0] == kBasic && payload[1] == kBasicGet)
        PostReport(now + SmartModuleTimings::kCallback + SmartModuleTimings::kNodeReport, node,
                   m_nodes[static_cast<size_t>(node)].value);
}

void SmartModule::BasicSet(int node, uint8_t value, int64_t now) {
    Node& n = m_nodes[static_cast<size_t>(node)];
    const int64_t sent = now + SmartModuleTimings::kCallback;
    switch (n.kind) {
    case PlugKind::Switch:
        if (value <= 99 || value == 0xFF)
            n.value = value;
        return;
    case PlugKind::Dimmer:
        if (value <= 99)
            n.value = value;
        else if (value == 0xFF)
            n.value = 99;
        return;
    case PlugKind::Infrared:
        break;
    }
    if (value < 0x80 || value == 0xFF) {
        n.value = value; // the plug's relay
        return;
    }
    if (value < 0xC0) { // transmit key k
        const size_t key = value - 0x80u;
        PostReport(sent + SmartModuleTimings::kTransmit, node, n.learned[key] ? kIrSent : kIrSendFailed);
        return;
    }
    // learn key k: what the key held is gone from now on
    const int key = value - 0xC0;
    n.learningKey = key;
    n.learned[static_cast<size_t>(key)] = false;
    n.codes[static_cast<size_t>(key)] = 0;
    const uint64_t epoch = ++n.learnEpoch;
    auto stillLearning = [this, node, key, epoch] {
        const Node& m = m_nodes[static_cast<size_t>(node)];
        return m.learnEpoch == epoch && m.learningKey == key;
    };
    const int64_t ready = sent + SmartModuleTimings::kLearnReady;
    m_outbox.Schedule(ready, [this, node, ready, stillLearning] {
        if (stillLearning())
            PostReport(ready, node, kIrReady);
    });
    const int64_t window = ready + SmartModuleTimings::kLearnWindow;
    m_outbox.Schedule(window, [this, node, window, stillLearning] {
        if (!stillLearning())
            return;
        m_nodes[static_cast<size_t>(node)].learningKey = -1;
        PostReport(window, node, kIrTimedOut);
    });
    if (m_options.remotePressAfterMs >= 0) {
        const int64_t press = ready + m_options.remotePressAfterMs;
        m_outbox.Schedule(press, [this, key, press, stillLearning] {
            if (stillLearning())
                RemoteKeyReachesPlugs(DemoKeyCode(key), false, press);
        });
    }
}

bool SmartModule::RemoteKeyReachesPlugs(uint8_t code, bool garbled, int64_t now) {
    bool any = false;
    for (int node = kFirstPlugNode; node < kNodeCount; ++node) {
        Node& n = m_nodes[static_cast<size_t>(node)];
        if (!Answers(node) || n.learningKey < 0)
            continue;
        const size_t key = static_cast<size_t>(n.learningKey);
        n.learningKey = -1;
        ++n.learnEpoch; // its time-out is void
        if (!garbled) {
            n.codes[key] = code;
            n.learned[key] = true;
        }
        PostReport(now + SmartModuleTimings::kKeyReport, node, garbled ? kIrChecksum : kIrLearned);
        any = true;
    }
    return any;
}

bool SmartModule::ReportNodeValue(int node, uint8_t value, int64_t now) {
    if (!Answers(node))
        return false;
    m_nodes[static_cast<size_t>(node)].value = value;
    PostReport(now, node, value);
    return true;
}

void SmartModule::StartNodeOperation(uint8_t function, std::span<const uint8_t> p, int64_t now) {
    if (p.empty())
        return;
    const Operation op = function == zwave::AddNode ? Operation::Adding : Operation::Removing;
    const uint8_t mode = p[0] & 0x0F;
    if (mode == kModeStop) {
        if (m_op == op)
            EndNodeOperation();
        return;
    }
    if (mode < kModeAny || mode > 4)
        return;
    EndNodeOperation(); // a new operation replaces a running one
    m_op = op;
    m_opCallback = p.size() > 1 ? p[1] : 0;
    const uint64_t epoch = m_opEpoch;
    const int64_t ready = now + SmartModuleTimings::kReady;
    m_outbox.Schedule(ready, [this, epoch, ready] {
        if (epoch != m_opEpoch)
            return;
        m_opReady = true; // buttons count from now on
        if (m_opCallback != 0)
            PostNodeStatus(ready, kStatusReady, 0);
    });
    if (m_options.plugPressAfterMs >= 0) {
        const int64_t press = ready + m_options.plugPressAfterMs;
        m_outbox.Schedule(press, [this, epoch, press] {
            if (epoch == m_opEpoch)
                PressPlugButton(m_op == Operation::Removing ? m_options.removeNode : 0, m_options.newPlugKind, press);
        });
    }
}

void SmartModule::EndNodeOperation() {
    m_op = Operation::None;
    m_opReady = false;
    m_opPressed = false;
    ++m_opEpoch;
}

bool SmartModule::PressPlugButton(int node, PlugKind kind, int64_t now) {
    if (m_op == Operation::None || !m_opReady || m_opPressed || node < 0 || node == 1 || node >= kNodeCount)
        return false;
    if (m_op == Operation::Adding && node != 0 && NodePresent(node))
        return false; // already in this network
    m_opPressed = true;
    const uint64_t epoch = m_opEpoch;
    const bool quiet = m_opCallback == 0;
    auto finish = [this](int64_t at, uint8_t status, uint8_t reported) {
        if (m_opCallback != 0)
            PostNodeStatus(at, status, reported);
        EndNodeOperation();
    };
    if (m_options.nodeOperationsFail) {
        const int64_t at = now + SmartModuleTimings::kNodeFound;
        m_outbox.Schedule(at, [this, epoch, at, finish] {
            if (epoch == m_opEpoch)
                finish(at, kStatusFailed, 0);
        });
        return true;
    }
    if (m_op == Operation::Adding) {
        const int64_t found = now + SmartModuleTimings::kNodeFound;
        m_outbox.Schedule(found, [this, epoch, found, quiet] {
            if (epoch == m_opEpoch && !quiet)
                PostNodeStatus(found, kStatusNodeFound, 0);
        });
        const int64_t added = found + SmartModuleTimings::kNodeAdded;
        m_outbox.Schedule(added, [this, epoch, added, kind, finish] {
            if (epoch != m_opEpoch)
                return;
            const int id = LowestFreeNode();
            if (id < 0) {
                finish(added, kStatusFailed, 0);
                return;
            }
            SetNodePresent(id, true, kind);
            finish(added, kStatusAdded, static_cast<uint8_t>(id));
        });
        return true;
    }
    const int64_t removed = now + SmartModuleTimings::kNodeRemoved;
    m_outbox.Schedule(removed, [this, epoch, removed, node, finish] {
        if (epoch != m_opEpoch)
            return;
        const int gone = node >= kFirstPlugNode && NodePresent(node) ? node : 0;
        if (gone != 0)
            Forget(gone);
        finish(removed, kStatusRemoved, static_cast<uint8_t>(gone));
    });
    return true;
}

void SmartModule::SetDefault(std::span<const uint8_t> p, int64_t now) {
    EndNodeOperation();
    for (int node = kFirstPlugNode; node < kNodeCount; ++node)
        Forget(node);
    std::fill(m_memory.begin(), m_memory.end(), 0);
    const uint8_t callback = p.empty() ? 0 : p[0];
    if (callback != 0 && !m_options.setDefaultSilent)
        PostFrame(now + SmartModuleTimings::kSetDefault, zwave::SetDefault, std::span(&callback, 1));
}

Message SmartModule::ReadMemory(std::span<const uint8_t> body) const {
    // 14, address high, address low, count -> 14, address, count, data
    if (body.size() < 4)
        return {reply::SmartMemory, 0xFF, 0xFF, 0};
    const size_t address = ReadBe16(body.data() + 1);
    size_t count = std::min<size_t>(body[3], 56);
    count = address < m_memory.size() ? std::min(count, m_memory.size() - address) : 0;
    Message reply{reply::SmartMemory, body[1], body[2], static_cast<uint8_t>(count)};
    reply.insert(reply.end(), m_memory.begin() + static_cast<std::ptrdiff_t>(address),
                 m_memory.begin() + static_cast<std::ptrdiff_t>(address + count));
    return reply;
}

void SmartModule::WriteMemory(std::span<const uint8_t> body) {
    // 13, address high, address low, count, data
    if (body.size() < 4)
        return;
    const size_t address = ReadBe16(body.data() + 1);
    const size_t count = std::min<size_t>(body[3], body.size() - 4);
    if (address >= m_memory.size())
        return;
    const size_t n = std::min(count, m_memory.size() - address);
    std::copy_n(body.begin() + 4, n, m_memory.begin() + static_cast<std::ptrdiff_t>(address));
}

} // namespace orvex::sim
