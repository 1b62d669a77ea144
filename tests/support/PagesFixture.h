#pragma once

#include "shell/SimFixture.h"

#include "widgets/XBmpSlider.h"
#include "link/LinkState.h"
#include "editors/EditorPages.h"
#include "support/Hex.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>

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

// A user typing `text` over the whole of a value box that has the focus.
inline void TypeValue(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

// The editor with the editing pages and tool dialogs registered, as the program starts it, on the
// shell fixture `Base`.
template <class Base>
class PageFixture : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        RegisterEditorPages();
    }

    // Shows the page of `kind` as the ribbon does (an output page with channel `argument`, an effects
    // page of kind `argument`) and returns it; a failure when the view shows another page.
    template <class Page>
    Page* OpenPage(PageKind kind, int argument = -1) {
        this->View()->SwitchToPage(kind, argument);
        auto* page = qobject_cast<Page*>(this->View()->CurrentPage());
        EXPECT_NE(page, nullptr);
        return page;
    }
};

using PagesTest = PageFixture<ShellTest>;

// The same against the simulated processor on loopback: what the dialogs send is read at the host.
class PagesSimTest : public PageFixture<SimShellTest> {
protected:
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

    // True while the editor has nothing on its way to the host: its queue is empty and no frame waits
    // for its reply (a frame answered is a frame the host has).
    bool LinkIdle() {
        const LinkState& state = app->Session().State();
        return state.writeQueue.Empty() && state.awaitingReply.load() == 0;
    }

    // Waits until everything the editor has sent so far has reached the host. Idle is required on two
    // checks in a row, a few milliseconds apart: a frame just taken off the queue is marked outstanding
    // a moment later.
    void WaitForLinkIdle(int ms = 3000) {
        int idleChecks = 0;
        PumpUntil(
            [&] {
                idleChecks = LinkIdle() ? idleChecks + 1 : 0;
                return idleChecks >= 2;
            },
            ms);
    }

    // The writes the host has received once the link is idle.
    std::vector<std::vector<uint8_t>> SettledWrites() {
        WaitForLinkIdle();
        return Writes();
    }

    // Waits until `count` writes have arrived and returns them with anything sent after them, so that a
    // write beyond the expected count shows up as a failure, not as silence.
    std::vector<std::vector<uint8_t>> WaitForWrites(size_t count, int ms = 2000) {
        PumpUntil([&] { return Writes().size() >= count; }, ms);
        return SettledWrites();
    }
};

inline std::vector<std::string> HexList(const std::vector<std::vector<uint8_t>>& bodies) {
    std::vector<std::string> out;
    for (const auto& b : bodies)
        out.push_back(ToHex(b));
    return out;
}

} // namespace orvex::test
