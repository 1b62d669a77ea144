#include "pages/EditorPages.h"

#include "editors/input/CloudnessDlg.h"
#include "editors/input/DialogMusicInput.h"
#include "editors/output/CompDlg.h"
#include "editors/output/DelayDlg.h"
#include "editors/output/DialogOutput.h"
#include "editors/output/SSVCDlg.h"
#include "settings/SetDlg.h"
#include "shell/ControlIds.h"
#include "shell/OrvexApp.h"
#include "shell/PageFactory.h"

namespace orvex {

void RegisterEditorPages() {
    // Each page and tool dialog adds its line here as it is built; a kind or template without one
    // keeps the shell's placeholder.
    COrvexv13App::RegisterToolDialog(tmpl::MusicInput, [] { return new CDialogMusicInput(theApp().Session()); });
    COrvexv13App::RegisterToolDialog(tmpl::Features, [] { return new CloudnessDlg(theApp().Session()); });
    RegisterPageFactory(PageKind::Delay, [](QWidget* parent) { return new CDelayDlg(theApp().Session(), parent); });
    COrvexv13App::RegisterToolDialog(tmpl::MachineSettings, [] { return new CSetDlg(theApp()); });
    RegisterPageFactory(PageKind::Ssvc, [](QWidget* parent) {
        return new CSSVCDlg(theApp().Session(), theApp().locateChannel, parent);
    });
    RegisterPageFactory(PageKind::Output, [](QWidget* parent) { return new CDialogOutput(theApp(), parent); });
    RegisterPageFactory(PageKind::Comp, [](QWidget* parent) { return new CCompDlg(theApp().Session(), parent); });
}

} // namespace orvex
