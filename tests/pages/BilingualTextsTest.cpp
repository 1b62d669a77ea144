#include "support/PagesFixture.h"

#include "editors/input/DialogEfx.h"
#include "widgets/DelayPanel.h"
#include "editors/output/DialogOutput.h"
#include "widgets/EqPanel.h"
#include "widgets/SSVolumePanel.h"
#include "shell/AboutDlg.h"
#include "shell/DlgMsgBox.h"
#include "shell/Relabel.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/RemoteDlg.h"
#include "smarthome/RemoteLearnDlg.h"
#include "smarthome/RemoteStudyDlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTabBar>
#include <QTextDocumentFragment>

namespace orvex::test {
namespace {

// One text the user can see, and where it is.
struct ShownText {
    QString where;
    QString text;
};

void AddActions(const QList<QAction*>& actions, const QString& where, std::vector<ShownText>& out) {
    for (QAction* action : actions) {
        if (!action->text().isEmpty())
            out.push_back({where + QStringLiteral(" action"), action->text()});
        if (QMenu* menu = action->menu())
            AddActions(menu->actions(), where + QStringLiteral(" menu"), out);
    }
}

void AddModel(const QAbstractItemModel* model, const QString& where, std::vector<ShownText>& out) {
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c)
        out.push_back({where + QStringLiteral(" header"), model->headerData(c, Qt::Horizontal).toString()});
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c)
            out.push_back({where + QStringLiteral(" item"), model->index(r, c).data().toString()});
    }
}

// Every text a window shows: its caption, what its labels, buttons, group boxes and edit fields read,
// the items and headers of its combo boxes, lists, tables and tab bars, its menus, and the labels the
// painted panels draw.
std::vector<ShownText> Collect(QWidget* root, const QString& name) {
    std::vector<ShownText> out{{name + QStringLiteral(" caption"), root->windowTitle()}};
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root) && w != root)
            continue; // a hidden field says nothing to the user
        const QString where = name + QLatin1Char('/') + QString::fromLatin1(w->metaObject()->className());
        if (w != root)
            out.push_back({where, WidgetText(w)});
        AddActions(w->actions(), where, out);
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                out.push_back({where + QStringLiteral(" choice"), combo->itemText(i)});
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            if (!qobject_cast<QHeaderView*>(w))
                AddModel(view->model(), where, out);
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                out.push_back({where + QStringLiteral(" tab"), tabs->tabText(i)});
        } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
            out.push_back({where + QStringLiteral(" suffix"), spin->suffix()});
        } else if (qobject_cast<CSSVolumePanel*>(w)) {
            for (int i = 0; i < kRoomSpeakerCount; ++i)
                out.push_back({where + QStringLiteral(" painted"), CSSVolumePanel::SpeakerLabel(i)});
        } else if (qobject_cast<CDelayPanel*>(w)) {
            for (int i = 0; i < CDelayPanel::kChannelCount; ++i)
                out.push_back({where + QStringLiteral(" painted"), CDelayPanel::RowLabel(i)});
        } else if (auto* eq = qobject_cast<CEqPanel*>(w)) {
            out.push_back({where + QStringLiteral(" painted"), eq->Title()});
        }
    }
    return out;
}

// Chinese characters and the full-width punctuation that goes with them.
bool HasCjk(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}

// Latin words a Chinese text may carry: units, channel and speaker names, filter kinds and families,
// the names of interfaces and stream formats as the processor reports them, the keys printed on the
// remote, the product's name and the "EN" of the language button.
const QSet<QString>& WordsChineseKeeps() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w : {"Hz",
                              "kHz",
                              "dB",
                              "ms",
                              "m",
                              "Q",
                              "EQ",
                              "CH",
                              "L",
                              "R",
                              "SL",
                              "SR",
                              "SBL",
                              "SBR",
                              "CEN",
                              "SUB",
                              "PEQ",
                              "LP",
                              "HP",
                              "LS",
                              "HS",
                              "OFF",
                              "ON",
                              "BYPASS",
                              "PASS",
                              "Bessel",
                              "Butterworth",
                              "Chebyshev",
                              "LinkwitzRiely",
                              "USB",
                              "IP",
                              "MQTT",
                              "PIN",
                              "Home", // the home-automation server's own name
                              "Assistant",
                              "HDMI",
                              "AUX",
                              "SPDIF",
                              "MCU",
                              "DSP",
                              "STEREO",
                              "AC",
                              "DTS",
                              "CD",
                              "E",
                              "DOLBY",
                              "HD",
                              "HR",
                              "LPCM",
                              "MultiCh",
                              "M",
                              "K",
                              "A",
                              "B",
                              "XY",
                              "FN",
                              "MENU",
                              "MUTE",
                              "EXIT",
                              "OK",
                              "Orvex",
                              "ORVEX",
                              "EN",
                              "Key",
                              "remo",
                              "txt",
                              "Fc",
                              "x"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

// What a text reads as: rich text without its markup, a menu text without its mnemonic ("打开(&O)").
QString Readable(const QString& text) {
    QString plain = Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
    static const QRegularExpression mnemonic(QStringLiteral("\\(&[A-Za-z]\\)|&(?=[A-Za-z])"));
    return plain.remove(mnemonic);
}

// The Latin words of a Chinese text that are not on the list above; numbered forms ("M1", "CH3", "0x1F")
// are not words.
QStringList StrayEnglish(const QString& text) {
    static const QRegularExpression word(QStringLiteral("(?<![0-9A-Za-z])[A-Za-z]+(?![A-Za-z])"));
    QStringList stray;
    for (auto it = word.globalMatch(Readable(text)); it.hasNext();) {
        const QString w = it.next().captured();
        if (!WordsChineseKeeps().contains(w))
            stray << w;
    }
    return stray;
}

class BilingualTextsTest : public PagesTest {
protected:
    void Add(QWidget* window, const QString& name) {
        window->show();
        Pump(10);
        const std::vector<ShownText> texts = Collect(window, name);
        seen.insert(seen.end(), texts.begin(), texts.end());
    }

    // The main window with every page, each tool dialog and each of the common dialogs, as a user opens
    // them in the language the editor is in.
    void WalkEverything() {
        Frame()->resize(1200, 760);
        for (int kind = 0; kind < kPageKindCount; ++kind) {
            const auto page = static_cast<PageKind>(kind);
            const int views = page == PageKind::Output ? 8 : page == PageKind::Efx ? CDialogEfx::kKindCount : 1;
            for (int v = 0; v < views; ++v) {
                View()->SwitchToPage(page, views > 1 ? v : -1);
                if (auto* output = qobject_cast<CDialogOutput*>(View()->CurrentPage()))
                    output->SelectEqBand(1); // the band strip shows
                Add(Frame(), QStringLiteral("page %1.%2").arg(kind).arg(v));
            }
        }
        for (int channelView = 0; channelView < 3; ++channelView) {
            View()->SwitchToPage(PageKind::Music);
            View()->CurrentPage()->SetChannelView(channelView);
            Add(Frame(), QStringLiteral("music view %1").arg(channelView));
        }
        for (int t : {tmpl::MachineSettings, tmpl::Remote, tmpl::MusicInput, tmpl::Features, tmpl::ConnectIp,
                      tmpl::PhoneRemote, tmpl::HomeAutomation}) {
            if (QWidget* dialog = app->ShowToolDialog(t))
                Add(dialog, QStringLiteral("dialog %1").arg(t));
            app->DestroyToolDialog(t);
        }
        if (auto* plugs = qobject_cast<CDialogHomeTheater*>(app->ShowToolDialog(tmpl::SmartPlug))) {
            for (int page = 0; page < CDialogHomeTheater::kPageCount; ++page) {
                plugs->ShowPage(page);
                Add(plugs, QStringLiteral("smart plugs %1").arg(page));
            }
            if (auto* edit = qobject_cast<CDlgZwaveEdit*>(app->ShowToolDialog(tmpl::PlugEdit))) {
                edit->StartAdd();
                Add(edit, QStringLiteral("add plug"));
            }
            if (auto* sw = qobject_cast<CDlgZwaveSwitch*>(app->ShowToolDialog(tmpl::PlugSwitch))) {
                sw->SetNode(2);
                Add(sw, QStringLiteral("switch"));
            }
            if (auto* dimmer = qobject_cast<CDlgZwaveLight*>(app->ShowToolDialog(tmpl::PlugDimmer))) {
                dimmer->SetNode(2);
                Add(dimmer, QStringLiteral("dimmer"));
            }
            app->DestroyToolDialog(tmpl::SmartPlug);
        }
        {
            CWaitDlg wait(QString(), CWaitDlg::kKindAddPlug, 0, 0);
            Add(&wait, QStringLiteral("wait"));
            wait.Finish(0);
        }
        {
            CSynDlg sync;
            Add(&sync, QStringLiteral("sync"));
            sync.EndFromOutside();
        }
        {
            CDlgMsgBox box(QStringLiteral("?"), QStringLiteral("1"), QStringLiteral("2"));
            Add(&box, QStringLiteral("three-choice box"));
        }
        {
            CAboutDlg about(Store(), app->Session().State());
            Add(&about, QStringLiteral("about"));
        }
        {
            CRemoteStudyDlg study(app->Session(), CRemoteDlg::LearnPrompt(5));
            Add(&study, QStringLiteral("remote study"));
        }
        {
            CRemoteLearnDlg learn(app->Context(), nullptr);
            learn.RefreshFromStore();
            Add(&learn, QStringLiteral("plug remote learning"));
        }
        for (const MessageBoxRequest& box : boxes) {
            seen.push_back({QStringLiteral("message box caption"), box.caption});
            seen.push_back({QStringLiteral("message box"), box.text});
        }
    }

    std::vector<ShownText> seen;
};

TEST_F(BilingualTextsTest, EnglishShowsNoChineseAnywhere) {
    StartApp();
    app->ToggleLanguage(); // as the user switches: the open window relabels, later windows open in English
    ASSERT_EQ(UiLanguageIndex(), kLanguageEnglish);
    WalkEverything();
    ASSERT_GT(seen.size(), 500u);
    for (const ShownText& s : seen) {
        if (s.text == QString::fromUtf8("中/EN"))
            continue; // the language button names both languages in both
        EXPECT_FALSE(HasCjk(s.text)) << qPrintable(s.where) << ": " << qPrintable(s.text);
    }
}

TEST_F(BilingualTextsTest, ChineseShowsNoEnglishWordWhereAChineseTextExists) {
    StartApp();
    ASSERT_EQ(UiLanguageIndex(), kLanguageChinese);
    WalkEverything();
    ASSERT_GT(seen.size(), 500u);
    for (const ShownText& s : seen) {
        EXPECT_TRUE(StrayEnglish(s.text).isEmpty()) << qPrintable(s.where) << ": " << qPrintable(s.text) << " ("
                                                    << qPrintable(StrayEnglish(s.text).join(' ')) << ")";
    }
}

} // namespace
} // namespace orvex::test
