// The input side's pages in the running editor: what follows every read-all on the first page.

#include "PagesBench.h"

#include "editors/input/DialogMusic.h"
#include "model/ParameterStore.h"

namespace orvex::bench {
namespace {

// A full refresh of the mic and music page from the store, as after a synchronisation: mics, the
// parameter grid, the ten-band equaliser with its band grid, and both thumbnails. The store changes
// between rounds so that no control can skip its repaint as unchanged.
void BM_MusicPageRefresh(benchmark::State& state) {
    View().SwitchToPage(PageKind::Music);
    auto* page = qobject_cast<CDialogMusic*>(View().CurrentPage());
    if (page == nullptr) {
        state.SkipWithError("the mic and music page is not registered");
        return;
    }
    ParameterStore& store = Editor().Store();
    int round = 0;
    for (auto _ : state) {
        round = (round + 1) % 100;
        store.Set(fields::reverbLevelA, round);
        store.Set(fields::micVolume, 0, round);
        page->RefreshFromStore();
    }
}
BENCHMARK(BM_MusicPageRefresh)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
} // namespace orvex::bench

ORVEX_PAGES_BENCH_MAIN()
