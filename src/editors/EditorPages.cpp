#include "editors/EditorPages.h"

#include "editors/input/CloudnessDlg.h"
#include "editors/input/DialogEfx.h"
#include "editors/input/DialogMusic.h"
#include "editors/input/DialogMusicInput.h"
#include "editors/output/CompDlg.h"
#include "editors/output/DelayDlg.h"
#include "editors/output/DialogOutput.h"
#include "editors/output/SSVCDlg.h"
#include "editors/settings/SetDlg.h"
#include "shell/ControlIds.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/PageFactory.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/RemoteDlg.h"

namespace orvex {

void RegisterEditorPages() {
    // Every page kind and every tool dialog the shell shows has its line here; each is given what it
    // works with when it is made.
    using Ctx = const PageContext&;
    COrvexv13App::RegisterToolDialog(tmpl::MusicInput, [](Ctx ctx) { return new CDialogMusicInput(ctx.session); });
    COrvexv13App::RegisterToolDialog(tmpl::Features, [](Ctx ctx) { return new CloudnessDlg(ctx.session); });
    RegisterPageFactory(PageKind::Music, [](Ctx ctx, QWidget* parent) { return new CDialogMusic(ctx, parent); });
    RegisterPageFactory(PageKind::Delay, [](Ctx ctx, QWidget* parent) { return new CDelayDlg(ctx.session, parent); });
    COrvexv13App::RegisterToolDialog(tmpl::MachineSettings, [](Ctx ctx) { return new CSetDlg(ctx); });
    // The speaker page is made by the view, which keeps the output being identified across pages.
    RegisterPageFactory(PageKind::Ssvc, [](Ctx ctx, QWidget* parent) {
        return new CSSVCDlg(ctx.session, ctx.display.View()->LocateChannel(), parent);
    });
    RegisterPageFactory(PageKind::Efx, [](Ctx ctx, QWidget* parent) { return new CDialogEfx(ctx.session, parent); });
    RegisterPageFactory(PageKind::Output, [](Ctx ctx, QWidget* parent) { return new CDialogOutput(ctx, parent); });
    RegisterPageFactory(PageKind::Comp, [](Ctx ctx, QWidget* parent) { return new CCompDlg(ctx.session, parent); });
    COrvexv13App::RegisterToolDialog(tmpl::SmartPlug, [](Ctx ctx) { return new CDialogHomeTheater(ctx); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugEdit, [](Ctx ctx) { return new CDlgZwaveEdit(ctx); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugSwitch, [](Ctx ctx) { return new CDlgZwaveSwitch(ctx); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugDimmer, [](Ctx ctx) { return new CDlgZwaveLight(ctx); });
    COrvexv13App::RegisterToolDialog(tmpl::Remote, [](Ctx ctx) { return new CRemoteDlg(ctx); });
}

} // namespace orvex
