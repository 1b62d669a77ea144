// Switching between the mic and music page and the effects page in the running editor: what a user
// waits for after a click on an effects thumbnail and on the effects page's Back button.

#include "PagesBench.h"

#include "editors/input/DialogEfx.h"
#include "widgets/GdipButton.h"

namespace orvex::bench {
namespace {

// Mic/music page -> effects page of kind k (a new page, filled from the store) -> Back (a new mic and
// music page with the remembered sub-view). Each iteration is the round trip; the kinds take turns.
void BM_MusicToEffectsAndBack(benchmark::State& state) {
    View().SwitchToPage(PageKind::Music);
    int kind = 0;
    for (auto _ : state) {
        View().SwitchToPage(PageKind::Efx, kind);
        auto* page = qobject_cast<CDialogEfx*>(View().CurrentPage());
        if (page == nullptr) {
            state.SkipWithError("the effects page is not registered");
            return;
        }
        page->BackButton()->click();
        if (View().CurrentPage()->Kind() != PageKind::Music) {
            state.SkipWithError("Back did not return to the mic and music page");
            return;
        }
        kind = (kind + 1) % CDialogEfx::kKindCount;
    }
}
BENCHMARK(BM_MusicToEffectsAndBack)->Unit(benchmark::kMillisecond);

// An effects page already shown and asked for another kind: the page reloads in place.
void BM_EffectsKindSwitch(benchmark::State& state) {
    View().SwitchToPage(PageKind::Efx, 0);
    int kind = 0;
    for (auto _ : state) {
        kind = (kind + 1) % CDialogEfx::kKindCount;
        View().SwitchToPage(PageKind::Efx, kind);
    }
    View().SwitchToPage(PageKind::Music);
}
BENCHMARK(BM_EffectsKindSwitch)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvex::bench

ORVEX_PAGES_BENCH_MAIN()
