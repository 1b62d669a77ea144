#pragma once

#include "shell/SimFixture.h"

#include "editors/output/XBmpSlider.h"
#include "pages/EditorPages.h"
#include "support/Hex.h"

#include <QCoreApplication>
#include <QEvent>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

namespace orvex::test {

// "3F0CCCCD": a float word as the processor receives it.
inline std::string WordHex(float value) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", std::bit_cast<uint32_t>(value));
    return buf;
}

// A parameter write: 09 00 cmd sub n, then the words.
inline std::vector<uint8_t> ParamWrite(uint8_t cmd, uint8_t sub, const std::vector<std::string>& words) {
    char head[24];
    std::snprintf(head, sizeof head, "09 00 %02X %02X %02X", cmd, sub, static_cast<unsigned>(words.size()));
    std::string text = head;
    for (const std::string& w : words)
        text += " " + w;
    return Hex(text);
}

// A user moving a slider one step onto `position` with the keyboard: exactly one report.
inline void MoveSlider(CXBmpSlider* slider, int position) {
    const bool fromBelow = position > slider->GetSliderMin();
    slider->SetSliderPos(fromBelow ? position - 1 : position + 1);
    slider->setFocus();
    QTest::keyClick(slider, fromBelow ? Qt::Key_Right : Qt::Key_Left);
}

// The editor with the editing pages and tool dialogs registered, as the program starts it.
class PagesTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        RegisterEditorPages();
    }
};

// The same against the simulated processor on loopback: what the dialogs send is read at the host.
class PagesSimTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        RegisterEditorPages();
    }

    // The parameter and memory writes the host received since the last ClearReceived, in order, without
    // the carrier prefix (level polls and other requests left out).
    std::vector<std::vector<uint8_t>> Writes() const {
        std::vector<std::vector<uint8_t>> out;
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() < 2)
                continue;
            if (m.payload[1] == 0x09 || m.payload[1] == 0x85)
                out.emplace_back(m.payload.begin() + 1, m.payload.end());
        }
        return out;
    }

    // Waits until `count` writes have arrived and returns them.
    std::vector<std::vector<uint8_t>> WaitForWrites(size_t count, int ms = 2000) {
        PumpUntil([&] { return Writes().size() >= count; }, ms);
        Pump(50); // anything beyond the expected count shows up as a failure, not as silence
        return Writes();
    }
};

inline std::vector<std::string> HexList(const std::vector<std::vector<uint8_t>>& bodies) {
    std::vector<std::string> out;
    for (const auto& b : bodies)
        out.push_back(ToHex(b));
    return out;
}

} // namespace orvex::test
