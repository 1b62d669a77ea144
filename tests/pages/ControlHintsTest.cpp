#include "support/PagesFixture.h"

#include "editors/EqFitDlg.h"
#include "widgets/EqSection.h"
#include "widgets/EqOverlay.h"
#include "editors/input/DialogEfx.h"
#include "editors/output/DialogOutput.h"
#include "model/EqPaths.h"
#include "model/Measurement.h"
#include "shell/AboutDlg.h"
#include "shell/DlgMsgBox.h"
#include "shell/PageFactory.h"
#include "shell/Relabel.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/RemoteDlg.h"
#include "smarthome/RemoteLearnDlg.h"
#include "smarthome/RemoteStudyDlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAbstractSlider>
#include <QComboBox>
#include <QScrollBar>
#include <QTabBar>

namespace orvex::test {
namespace {

bool HasCjk(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x3000 && c.unicode() <= 0x9fff)
            return true;
    }
    return false;
}

// The drawn controls (graphs, meters, pictures) that a screen reader can only name by what they are told.
bool Drawn(const QWidget* w) {
    static const QStringList kDrawn = {
        QStringLiteral("orvex::CPeakMeterCtrl"), QStringLiteral("orvex::CSmallEqPanel"),
        QStringLiteral("orvex::CSSVolumePanel"), QStringLiteral("orvex::CCompressPanelPlus"),
        QStringLiteral("orvex::CDelayPanel"),    QStringLiteral("orvex::CRemotePicture"),
        QStringLiteral("orvex::CEfxTitle"),      QStringLiteral("orvex::CEqPanel")};
    return kDrawn.contains(QString::fromLatin1(w->metaObject()->className()));
}

// A control a user can click, drag, type into or tab to. The parts Qt builds inside a control (a spin
// box's edit, a list's scroll bars and header) belong to that control and are not counted apart.
bool Interactive(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QTabBar*>(p))
            return false;
    }
    if (qobject_cast<const QScrollBar*>(w))
        return false;
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           w->focusPolicy() != Qt::NoFocus;
}

QString Describe(const QWidget* w) {
    return QStringLiteral("%1 id=%2 name=%3 text=\"%4\" tip=\"%5\"")
        .arg(QString::fromLatin1(w->metaObject()->className()))
        .arg(CtrlId(w))
        .arg(w->objectName(), WidgetText(w), w->toolTip());
}

// Every interactive control under `root` that lacks a tooltip or an accessible name, or whose hint is
// not in the current language (English without any Chinese character, Chinese with some).
QStringList Unhinted(const QWidget* root, const QString& where) {
    QStringList faults;
    const bool english = UiLanguageIndex() == kLanguageEnglish;
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (!Interactive(w) && !Drawn(w))
            continue;
        const QString tip = w->toolTip();
        if (tip.isEmpty() || w->accessibleName().isEmpty() || HasCjk(tip) == english ||
            HasCjk(w->accessibleName()) == english)
            faults << where + QStringLiteral(": ") + Describe(w);
    }
    return faults;
}

class ControlHintsTest : public PagesTest {
protected:
    // The main window and every page in it, as the view shows them.
    QStringList CheckFrameAndPages() {
        QStringList faults = Unhinted(Frame(), QStringLiteral("frame"));
        for (PageKind kind :
             {PageKind::Music, PageKind::Efx, PageKind::Output, PageKind::Delay, PageKind::Ssvc, PageKind::Comp}) {
            View()->SwitchToPage(kind);
            faults << Unhinted(View()->CurrentPage(), QStringLiteral("page %1").arg(PageTemplate(kind)));
        }
        for (int kind = 0; kind < CDialogEfx::kKindCount; ++kind) {
            View()->SwitchToPage(PageKind::Efx, kind);
            faults << Unhinted(View()->CurrentPage(), QStringLiteral("effects %1").arg(kind));
        }
        View()->SwitchToPage(PageKind::Output);
        if (auto* output = qobject_cast<CDialogOutput*>(View()->CurrentPage())) {
            output->SetOutputChannel(4);
            output->SelectEqBand(1); // the band strip shows
            faults << Unhinted(output, QStringLiteral("output CH5 band 1"));
            // The room fit's dialog, on a measured channel.
            Measurement room;
            for (double f = 20.0; f <= 20000.0; f *= 1.1) {
                room.freqHz.push_back(f);
                room.levelDb.push_back(f > 80.0 && f < 160.0 ? 6.0 : 0.0);
            }
            CEqOverlays::Instance().SetMeasurement(eqid::FirstOutput + 4, NormaliseMeasurement(room),
                                                   QStringLiteral("room.txt"));
            output->Eq()->FitToMeasurement();
            EXPECT_NE(output->Eq()->FitDialog(), nullptr);
            if (auto* fit = qobject_cast<CEqFitDlg*>(output->Eq()->FitDialog())) {
                faults << Unhinted(fit, QStringLiteral("room fit"));
                fit->reject();
            }
            CEqOverlays::Instance().ClearAll();
        }
        return faults;
    }

    // The tool windows, the smart-plug window's pages and its plug dialogs; they stay open.
    QStringList CheckToolWindows() {
        QStringList faults;
        for (int t : {tmpl::MachineSettings, tmpl::Remote, tmpl::MusicInput, tmpl::Features, tmpl::ConnectIp,
                      tmpl::PhoneRemote, tmpl::HomeAutomation}) {
            CToolDialog* dialog = app->ShowToolDialog(t);
            faults << Unhinted(dialog, QStringLiteral("tool %1").arg(t));
        }
        auto* plugs = qobject_cast<CDialogHomeTheater*>(app->ShowToolDialog(tmpl::SmartPlug));
        EXPECT_NE(plugs, nullptr);
        for (int page = 0; plugs && page < CDialogHomeTheater::kPageCount; ++page) {
            plugs->ShowPage(page);
            faults << Unhinted(plugs, QStringLiteral("smart plug page %1").arg(page));
        }
        if (auto* edit = qobject_cast<CDlgZwaveEdit*>(app->ShowToolDialog(tmpl::PlugEdit))) {
            edit->StartAdd();
            faults << Unhinted(edit, QStringLiteral("plug edit"));
        }
        if (auto* sw = qobject_cast<CDlgZwaveSwitch*>(app->ShowToolDialog(tmpl::PlugSwitch))) {
            sw->SetNode(2);
            faults << Unhinted(sw, QStringLiteral("plug switch"));
        }
        if (auto* dimmer = qobject_cast<CDlgZwaveLight*>(app->ShowToolDialog(tmpl::PlugDimmer))) {
            dimmer->SetNode(2);
            faults << Unhinted(dimmer, QStringLiteral("plug dimmer"));
        }
        return faults;
    }

    // The small dialogs the program raises by itself.
    QStringList CheckOwnDialogs() {
        QStringList faults;
        {
            CSynDlg sync;
            sync.show();
            faults << Unhinted(&sync, QStringLiteral("sync"));
            sync.EndFromOutside();
        }
        {
            CWaitDlg wait(Tr2("正在添加插座", "Adding a plug"), CWaitDlg::kKindAddPlug, 0, 0);
            wait.show();
            faults << Unhinted(&wait, QStringLiteral("wait"));
            wait.Finish(0);
        }
        CDlgMsgBox box(QStringLiteral("?"), Tr2("通道1", "Channel 1"), Tr2("通道2", "Channel 2"));
        faults << Unhinted(&box, QStringLiteral("message box"));
        CAboutDlg about(app->Store(), app->Session().State());
        faults << Unhinted(&about, QStringLiteral("about"));
        CRemoteStudyDlg study(app->Session(), CRemoteDlg::LearnPrompt(5));
        faults << Unhinted(&study, QStringLiteral("remote study"));
        CRemoteLearnDlg learn(app->Context(), nullptr);
        learn.RefreshFromStore();
        faults << Unhinted(&learn, QStringLiteral("remote learn"));
        return faults;
    }
};

TEST_F(ControlHintsTest, EveryControlOfEveryWindowHasAHintAndANameInEitherLanguage) {
    StartApp();
    QStringList faults = CheckFrameAndPages();
    faults << CheckToolWindows() << CheckOwnDialogs();
    EXPECT_TRUE(faults.isEmpty()) << qPrintable(faults.join(QLatin1Char('\n')));

    // The switch itself must carry the open windows over: nothing is rebuilt for it.
    app->ToggleLanguage();
    faults = Unhinted(Frame(), QStringLiteral("frame after the switch"));
    for (int t : {tmpl::MachineSettings, tmpl::Remote, tmpl::MusicInput, tmpl::Features, tmpl::ConnectIp,
                  tmpl::SmartPlug, tmpl::PhoneRemote, tmpl::HomeAutomation}) {
        if (CToolDialog* dialog = app->ToolDialog(t))
            faults << Unhinted(dialog, QStringLiteral("tool %1 after the switch").arg(t));
    }
    faults << CheckFrameAndPages() << CheckToolWindows() << CheckOwnDialogs();
    EXPECT_TRUE(faults.isEmpty()) << qPrintable(faults.join(QLatin1Char('\n')));
}

} // namespace
} // namespace orvex::test
