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
#include "shell/PageFactory.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DialogZwaveRemoter.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/RemoteDlg.h"
#include "smarthome/PlugKeyFolder.h"
#include "smarthome/RemoteLearnDlg.h"
#include "model/PlugKeyFile.h"

namespace orvex {

void RegisterEditorPages() {
    // Each page and tool dialog adds its line here as it is built; a kind or template without one
    // keeps the shell's placeholder.
    COrvexv13App::RegisterToolDialog(tmpl::MusicInput, [] { return new CDialogMusicInput(theApp().Session()); });
    COrvexv13App::RegisterToolDialog(tmpl::Features, [] { return new CloudnessDlg(theApp().Session()); });
    RegisterPageFactory(PageKind::Music, [](QWidget* parent) { return new CDialogMusic(theApp().Session(), parent); });
    RegisterPageFactory(PageKind::Delay, [](QWidget* parent) { return new CDelayDlg(theApp().Session(), parent); });
    COrvexv13App::RegisterToolDialog(tmpl::MachineSettings, [] { return new CSetDlg(theApp()); });
    RegisterPageFactory(PageKind::Ssvc, [](QWidget* parent) {
        return new CSSVCDlg(theApp().Session(), theApp().locateChannel, parent);
    });
    RegisterPageFactory(PageKind::Efx, [](QWidget* parent) { return new CDialogEfx(theApp().Session(), parent); });
    RegisterPageFactory(PageKind::Output, [](QWidget* parent) { return new CDialogOutput(theApp(), parent); });
    RegisterPageFactory(PageKind::Comp, [](QWidget* parent) { return new CCompDlg(theApp().Session(), parent); });
    COrvexv13App::RegisterToolDialog(tmpl::SmartPlug, [] { return new CDialogHomeTheater(theApp()); });
    CDialogHomeTheater::SetPageFactory(CDialogHomeTheater::kPageScenes,
                                       [](QWidget* parent) { return new CDialogZwaveRemoter(theApp(), parent); });
    // The scene page names a plug's keys from its key file, as the learning page keeps it.
    CDialogZwaveRemoter::SetKeyProvider([](int node, bool create) {
        std::vector<SceneKey> keys;
        std::vector<PlugKey> stored;
        const std::filesystem::path folder = PlugKeyFolder();
        const KeyFileResult read = create && CreateKeyDirectory(folder) ? ReadOrCreateKeyFile(folder, node, stored)
                                                                        : ReadKeyFile(folder, node, stored);
        if (read.ok()) {
            for (const PlugKey& key : stored)
                keys.push_back({key.index, QString::fromStdString(key.name), key.status != 0});
        }
        return keys;
    });
    CDialogHomeTheater::SetPageFactory(CDialogHomeTheater::kPageLearn,
                                       [](QWidget* parent) { return new CRemoteLearnDlg(theApp().Session(), parent); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugEdit, [] { return new CDlgZwaveEdit(theApp()); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugSwitch, [] { return new CDlgZwaveSwitch(theApp()); });
    COrvexv13App::RegisterToolDialog(tmpl::PlugDimmer, [] { return new CDlgZwaveLight(theApp()); });
    COrvexv13App::RegisterToolDialog(tmpl::Remote, [] { return new CRemoteDlg(theApp()); });
}

} // namespace orvex
