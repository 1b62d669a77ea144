// The simulated smart module, frame by frame, on a clock the test moves: what it answers at once
// and what it reports later, byte for byte as the editor reads it.

#include "sim/ProcessorModel.h"

#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace orvex;
using namespace orvex::sim;
using namespace orvex::test;

namespace {

// A module frame as it reaches the editor: message 12, count, frame.
std::vector<uint8_t> Relayed(const std::string& frameHex) {
    std::vector<uint8_t> frame = Hex(frameHex);
    std::vector<uint8_t> m{0x12, static_cast<uint8_t>(frame.size())};
    m.insert(m.end(), frame.begin(), frame.end());
    return m;
}

const std::vector<uint8_t> kAck = Relayed("06");

// What the editor sends (its own builders produce exactly these).
constexpr const char* kInclude = "01 05 00 4A 01 30 81";
constexpr const char* kExclude = "01 05 00 4B 01 09 B9";
constexpr const char* kStopExclusion = "01 04 00 4B 05 B5";
constexpr const char* kAbortInclusion = "01 05 00 4A 05 00 B5";
constexpr const char* kAbortSendData = "01 05 00 13 05 00 EC";
constexpr const char* kSwitchPlugTwoOn = "01 0A 00 13 02 03 20 01 FF 25 43 5F";

class SmartModuleTest : public ::testing::Test {
protected:
    explicit SmartModuleTest(ProcessorOptions options = {}) {
        options.clock = [now = m_now] { return now->load(); };
        model = std::make_unique<ProcessorModel>(std::move(options));
    }

    std::vector<Message> Send(const std::string& frameHex) { return model->HandleZWaveFrame(Hex(frameHex)); }
    std::vector<Message> SetValue(uint8_t node, uint8_t value) {
        return model->HandleZWaveFrame(BuildZWaveFrame(zwave::SendData, ZWaveSetValueParameters(node, value)));
    }
    // Moves the clock and collects what fell due.
    std::vector<Message> After(int64_t ms) {
        *m_now += ms;
        return model->TakeDueMessages();
    }
    // The plug's Basic Report in an application command.
    static std::vector<uint8_t> Report(uint8_t node, uint8_t value) {
        const std::vector<uint8_t> p{0x00, node, 3, 0x20, 0x03, value};
        std::vector<uint8_t> frame = BuildZWaveFrame(zwave::ApplicationCommand, p);
        std::vector<uint8_t> m{0x12, static_cast<uint8_t>(frame.size())};
        m.insert(m.end(), frame.begin(), frame.end());
        return m;
    }

    std::shared_ptr<std::atomic<int64_t>> m_now = std::make_shared<std::atomic<int64_t>>(1000);
    std::unique_ptr<ProcessorModel> model;
};

using Messages = std::vector<Message>;

TEST_F(SmartModuleTest, EveryEditorFrameIsAcknowledgedAndNothingElseAtOnce) {
    for (const char* frame : {kInclude, kExclude, kStopExclusion, kAbortInclusion, kAbortSendData, kSwitchPlugTwoOn})
        EXPECT_EQ(Send(frame), Messages{kAck}) << frame;
    // The node list is the one immediate answer: the controller and the three plugs of the factory.
    const Messages init = Send("01 03 00 02 FE");
    ASSERT_EQ(init.size(), 2u);
    EXPECT_EQ(init[0], kAck);
    ASSERT_GE(init[1].size(), 13u);
    EXPECT_EQ(std::vector<uint8_t>(init[1].begin(), init[1].begin() + 13),
              Hex("12 25 01 23 01 02 05 08 1D 0F 00 00 00"));
}

TEST_F(SmartModuleTest, AcknowledgesAndBrokenFramesGetNoAnswerAtAll) {
    // Answering the editor's acknowledge would hold its write queue waiting for a reply.
    EXPECT_TRUE(Send("06").empty());
    EXPECT_TRUE(Send("01 0A 00 13 02 03 20 01 FF 25 43 00").empty()) << "bad checksum";
    EXPECT_TRUE(Send("01 09 00 13 02 03 20 01 FF 25 43 5F").empty()) << "length byte disagrees";
    EXPECT_TRUE(model->HandleMessage(Hex("12 01 06")).empty()) << "the same acknowledge on USB";
    EXPECT_TRUE(After(20000).empty());
    EXPECT_EQ(model->SmartNodeValue(2), 0);
}

TEST_F(SmartModuleTest, SetValueStoresTheValueAndReportsItsCallback) {
    Send(kSwitchPlugTwoOn);
    EXPECT_TRUE(After(39).empty());
    EXPECT_EQ(After(1), Messages{Relayed("01 05 00 13 43 00 AA")});
    EXPECT_EQ(model->SmartNodeValue(2), 0xFF);

    // A node outside the network: "no acknowledgement" once the controller gave up.
    Send("01 0A 00 13 09 03 20 01 00 25 43 AB");
    EXPECT_TRUE(After(299).empty());
    EXPECT_EQ(After(1), Messages{Relayed("01 05 00 13 43 01 AB")});

    // The dimmer keeps levels, takes "on" as its maximum and ignores values it has no meaning for.
    SetValue(3, 50);
    EXPECT_EQ(model->SmartNodeValue(3), 50);
    SetValue(3, 0xFF);
    EXPECT_EQ(model->SmartNodeValue(3), 99);
    SetValue(3, 0x85);
    EXPECT_EQ(model->SmartNodeValue(3), 99);
    // A remote-key value carries the quiet callback id, and the callback echoes it.
    const Messages callbacks = After(1000);
    ASSERT_EQ(callbacks.size(), 3u);
    EXPECT_EQ(callbacks[2][6], zwave::CallbackQuiet);
}

TEST_F(SmartModuleTest, AnAbortWithdrawsTheCallbackOfTheSendDataOnItsWay) {
    Send(kSwitchPlugTwoOn);
    Send(kAbortSendData);
    EXPECT_TRUE(After(5000).empty());
    Send(kSwitchPlugTwoOn); // a later one is answered again
    EXPECT_EQ(After(40), Messages{Relayed("01 05 00 13 43 00 AA")});
}

TEST_F(SmartModuleTest, AddingAPlugReportsReadyFoundAndTheLowestFreeId) {
    model->SetZWaveNodePresent(3, false); // a gap below the last plug
    Send(kInclude);
    EXPECT_FALSE(model->PressPlugButton()) << "not ready before status 1";
    EXPECT_EQ(After(20), Messages{Relayed("01 07 00 4A 30 01 00 00 83")});
    ASSERT_TRUE(model->PressPlugButton(0, PlugKind::Dimmer));
    EXPECT_FALSE(model->PressPlugButton()) << "one plug per inclusion";
    EXPECT_EQ(After(50), Messages{Relayed("01 07 00 4A 30 02 00 00 80")});
    EXPECT_TRUE(After(399).empty());
    EXPECT_EQ(After(1), Messages{Relayed("01 0A 00 4A 30 05 03 03 04 11 01 9E")});
    EXPECT_TRUE(model->SmartNodePresent(3));
    EXPECT_EQ(model->SmartOperation(), SmartModule::Operation::None);
    // The next plug takes the next free id.
    Send(kInclude);
    After(20);
    model->PressPlugButton();
    const Messages next = After(450);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[1][8], 5);
}

TEST_F(SmartModuleTest, TheFirstPressOfAnAddIsAnExclusionOfAPlugFromNoNetwork) {
    Send(kExclude);
    EXPECT_EQ(After(20), Messages{Relayed("01 07 00 4B 09 01 00 00 BB")});
    ASSERT_TRUE(model->PressPlugButton(0));
    EXPECT_EQ(After(200), Messages{Relayed("01 07 00 4B 09 06 00 00 BC")});
    // The stop the editor sends after "done" is only acknowledged: a second "done" would start a
    // second inclusion.
    EXPECT_EQ(Send(kStopExclusion), Messages{kAck});
    EXPECT_TRUE(After(1000).empty());
    for (int node : {2, 3, 4})
        EXPECT_TRUE(model->SmartNodePresent(node));
}

TEST_F(SmartModuleTest, RemovingAPlugReportsItsIdAndTheModuleForgetsIt) {
    Send(kExclude);
    After(20);
    ASSERT_TRUE(model->PressPlugButton(2));
    EXPECT_TRUE(model->SmartNodePresent(2)) << "gone only when the module says so";
    EXPECT_EQ(After(200), Messages{Relayed("01 07 00 4B 09 06 02 00 BE")});
    EXPECT_FALSE(model->SmartNodePresent(2));
    EXPECT_EQ(Send("01 03 00 02 FE")[1][9], 0x0D) << "nodes 1, 3 and 4 left in the bitmap";
    // The plug memory is the editor's: the record stays until the editor overwrites it.
    EXPECT_EQ(model->SmartMemory()[2 * kPlugRecordSize], kPlugTypeSwitch);
}

TEST_F(SmartModuleTest, AnAbortDuringTheInclusionEndsItWithNothingAdded) {
    Send(kInclude);
    After(20);
    ASSERT_TRUE(model->PressPlugButton());
    EXPECT_EQ(After(50).size(), 1u); // node found
    EXPECT_EQ(Send(kAbortInclusion), Messages{kAck});
    EXPECT_TRUE(After(5000).empty());
    EXPECT_FALSE(model->SmartNodePresent(5));
    EXPECT_FALSE(model->PressPlugButton());
    // Aborted while still waiting for the button: the ready report of the old one never follows.
    Send(kInclude);
    Send(kAbortInclusion);
    EXPECT_TRUE(After(1000).empty());
}

TEST_F(SmartModuleTest, TheFailureOptionEndsAddAndRemoveWithStatusSeven) {
    model->SetNodeOperationsFail(true);
    Send(kInclude);
    After(20);
    model->PressPlugButton();
    EXPECT_EQ(After(50), Messages{Relayed("01 07 00 4A 30 07 00 00 85")});
    Send(kExclude);
    After(20);
    model->PressPlugButton(2);
    const Messages removed = After(50);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0][5], zwave::RemoveNode);
    EXPECT_EQ(removed[0][7], 7);
    EXPECT_TRUE(model->SmartNodePresent(2));
    EXPECT_FALSE(model->SmartNodePresent(5));
}

TEST_F(SmartModuleTest, AnInfraredPlugLearnsTransmitsAndForgetsAKeyThatFailed) {
    // The factory's TV plug knows keys 0..3.
    SetValue(4, 0x80);
    EXPECT_EQ(After(190), (Messages{Relayed("01 05 00 13 44 00 AD"), Report(4, 6)}));
    SetValue(4, 0x85); // key 5 never learned
    EXPECT_EQ(After(190)[1], Report(4, 7));

    SetValue(4, 0xC5); // learn key 5
    EXPECT_EQ(After(140), (Messages{Relayed("01 05 00 13 44 00 AD"), Report(4, 2)}));
    EXPECT_TRUE(model->PressRemoteKey(0x3A));
    EXPECT_EQ(After(50), Messages{Report(4, 3)});
    EXPECT_TRUE(model->PlugKeyLearned(4, 5));
    EXPECT_TRUE(After(20000).empty()) << "the learning window ended with the key";
    SetValue(4, 0x85);
    EXPECT_EQ(After(190)[1], Report(4, 6));

    // A garbled key, then no key at all: checksum error, then time-out; each leaves its key cleared.
    SetValue(4, 0xC5);
    After(140);
    model->PressRemoteKey(0x3A, true);
    EXPECT_EQ(After(50), Messages{Report(4, 4)});
    EXPECT_FALSE(model->PlugKeyLearned(4, 5));
    SetValue(4, 0xC0);
    After(140);
    EXPECT_TRUE(After(9999).empty());
    EXPECT_EQ(After(1), Messages{Report(4, 5)});
    SetValue(4, 0x80);
    EXPECT_EQ(After(190)[1], Report(4, 7)) << "key 0 was cleared by the learn that failed";
    EXPECT_FALSE(model->PressRemoteKey(0x11)) << "nobody learning";
}

TEST_F(SmartModuleTest, TheProcessorsRemoteIsLearnedWithReplySixty) {
    EXPECT_EQ(model->HandleMessage(Hex("60 05")), Messages{{0x31}});
    EXPECT_EQ(model->RemoteLearningFunction(), 5);
    EXPECT_TRUE(After(60000).empty()) << "the processor waits for the key as long as it takes";
    ASSERT_TRUE(model->PressRemoteKey(0x3A));
    EXPECT_EQ(After(0), Messages{Hex("60 01 05 3A")});
    EXPECT_EQ(model->RemoteKeys()[5], 0x3A);
    EXPECT_EQ(model->HandleMessage(Hex("62"))[0][6], 0x3A) << "the table read sees it";
    // Stopped learning takes no key.
    model->HandleMessage(Hex("60 02"));
    model->HandleMessage(Hex("61"));
    EXPECT_FALSE(model->PressRemoteKey(0x44));
    EXPECT_EQ(model->RemoteKeys()[2], 0);
}

TEST_F(SmartModuleTest, ADeadNodeAnswersNothingButStaysListed) {
    model->SetNodeDead(3, true);
    SetValue(3, 20);
    SetValue(3, 0x83);
    EXPECT_TRUE(After(30000).empty());
    EXPECT_TRUE(model->SmartNodePresent(3));
    EXPECT_FALSE(model->ReportNodeValue(3, 1));
    // The others still answer, and a node may report on its own.
    EXPECT_TRUE(model->ReportNodeValue(2, 0xFF));
    EXPECT_EQ(After(0), Messages{Report(2, 0xFF)});
}

TEST_F(SmartModuleTest, SetDefaultForgetsEveryPlugAndTheMemory) {
    EXPECT_EQ(Send("01 04 00 42 01 B8"), Messages{kAck});
    EXPECT_EQ(After(200), Messages{Relayed("01 04 00 42 01 B8")});
    for (int node : {2, 3, 4})
        EXPECT_FALSE(model->SmartNodePresent(node));
    EXPECT_TRUE(model->SmartNodePresent(1));
    const std::vector<uint8_t> memory = model->SmartMemory();
    EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(SmartModuleTest, TheFactoryPlugsAndScenesAreInTheMemory) {
    const Message plug = model->HandleMessage(Hex("14 00 54 1C"))[0]; // node 3 at 84
    ASSERT_EQ(plug.size(), 4u + kPlugRecordSize);
    PlugRecord record{};
    std::copy(plug.begin() + 4, plug.end(), record.begin());
    EXPECT_EQ(record[0], kPlugTypeDimmer);
    EXPECT_EQ(PlugRecordName(record), u"Wall light");
    // The TV scene switches all three plugs, waits and selects an HDMI input.
    const Message tv = model->HandleMessage(Hex("14 19 7C 38"))[0]; // 6524
    EXPECT_EQ(std::vector<uint8_t>(tv.begin() + 4, tv.begin() + 16), Hex("02 00 03 1E 04 80 F0 01 FE 01 00 00"));
}

// Demonstration options: the button and the remote key come by themselves.
class DemonstrationTest : public SmartModuleTest {
protected:
    static ProcessorOptions Options() {
        ProcessorOptions o;
        o.smart.plugPressAfterMs = 500;
        o.smart.remotePressAfterMs = 300;
        return o;
    }
    DemonstrationTest() : SmartModuleTest(Options()) {}
};

TEST_F(DemonstrationTest, ThePlugButtonIsPressedAfterTheGivenTime) {
    Send(kInclude);
    EXPECT_EQ(After(20).size(), 1u); // ready
    EXPECT_TRUE(After(549).empty()); // pressed at 520, found at 570
    EXPECT_EQ(After(1).size(), 1u);  // node found
    EXPECT_TRUE(After(399).empty());
    const Messages added = After(1);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0][7], 5); // status 5
    EXPECT_EQ(added[0][8], 5); // the first free id after the factory plugs
}

TEST_F(DemonstrationTest, ALearnRequestIsAnsweredWithAKey) {
    model->HandleMessage(Hex("60 03"));
    EXPECT_TRUE(After(299).empty());
    EXPECT_EQ(After(1), Messages{Hex("60 01 03 33")});
    // A stop before the key voids the press.
    model->HandleMessage(Hex("60 04"));
    model->HandleMessage(Hex("61"));
    EXPECT_TRUE(After(1000).empty());
    // An infrared plug learns too: ready after 140 ms, the key 300 ms later, reported 50 ms after.
    SetValue(4, 0xC7);
    After(140);
    EXPECT_TRUE(After(349).empty());
    EXPECT_EQ(After(1), Messages{Report(4, 3)});
    EXPECT_TRUE(model->PlugKeyLearned(4, 7));
}

// A processor without the module.
class NoModuleTest : public SmartModuleTest {
protected:
    static ProcessorOptions Options() {
        ProcessorOptions o;
        o.smartModule = false;
        return o;
    }
    NoModuleTest() : SmartModuleTest(Options()) {}
};

TEST_F(NoModuleTest, NoFrameIsAnsweredAndThePlugMemoryIsEmpty) {
    EXPECT_FALSE(model->HasSmartModule());
    EXPECT_TRUE(Send("01 03 00 02 FE").empty());
    EXPECT_TRUE(model->HandleMessage(Hex("12 05 01 03 00 02 FE")).empty());
    // Memory messages are still answered, so the editor's pacing goes on.
    EXPECT_EQ(model->HandleMessage(Hex("14 00 38 1C")), Messages{Hex("14 00 38 00")});
    EXPECT_EQ(model->HandleMessage(Hex("13 00 38 01 05")), Messages{{0x31}});
    EXPECT_FALSE(model->PressPlugButton());
    EXPECT_TRUE(After(10000).empty());
}

} // namespace
