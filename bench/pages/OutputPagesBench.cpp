// The output side's pages in the running editor: what a user waits for while dragging and switching.

#include "PagesBench.h"

#include "editors/output/SSVCDlg.h"
#include "editors/output/SSVolumePanel.h"

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

} // namespace
} // namespace orvex::bench

ORVEX_PAGES_BENCH_MAIN()
