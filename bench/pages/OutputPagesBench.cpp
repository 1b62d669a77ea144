// The output side's pages in the running editor: what a user waits for while dragging and switching.

#include "PagesBench.h"

#include "editors/output/DialogOutput.h"
#include "editors/output/SSVCDlg.h"
#include "widgets/SSVolumePanel.h"

namespace orvex::bench {
namespace {

// One step of a listener drag on the room page: the point moves, the coordinates are written, and the
// position gains of every role are computed and queued for sending (nothing is connected, so the
// sends end at the link).
void BM_RoomListenerDragStep(benchmark::State& state) {
    View().SwitchToPage(PageKind::Ssvc);
    auto* page = qobject_cast<CSSVCDlg*>(View().CurrentPage());
    if (page == nullptr) {
        state.SkipWithError("the room page is not registered");
        return;
    }
    CSSVolumePanel* drawing = page->Drawing();
    float x = 1.0f;
    for (auto _ : state) {
        x = x > 3.0f ? 1.0f : x + 0.05f;
        emit drawing->pointMoved(0, x, 2.0f);
    }
}
BENCHMARK(BM_RoomListenerDragStep)->Unit(benchmark::kMicrosecond);

CDialogOutput* OutputPage(benchmark::State& state, int channel) {
    View().SwitchToPage(PageKind::Output, channel);
    auto* page = qobject_cast<CDialogOutput*>(View().CurrentPage());
    if (page == nullptr)
        state.SkipWithError("the output page is not registered");
    return page;
}

// A full refresh of the output page from the store, as after a synchronisation or a mode load: the
// equaliser's thirteen bands, the strip of eight channels, mixes, compressor and delay.
void BM_OutputPageRefresh(benchmark::State& state) {
    CDialogOutput* page = OutputPage(state, 0);
    if (page == nullptr)
        return;
    for (auto _ : state)
        page->RefreshFromStore();
}
BENCHMARK(BM_OutputPageRefresh)->Unit(benchmark::kMicrosecond);

// A channel button on the output page: the page relabels and loads the next channel.
void BM_OutputPageChannelSwitch(benchmark::State& state) {
    CDialogOutput* page = OutputPage(state, 0);
    if (page == nullptr)
        return;
    int channel = 0;
    for (auto _ : state) {
        channel = (channel + 1) % CDialogOutput::kChannels;
        page->SetOutputChannel(channel);
    }
}
BENCHMARK(BM_OutputPageChannelSwitch)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace orvex::bench

ORVEX_PAGES_BENCH_MAIN()
