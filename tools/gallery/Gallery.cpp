#include "gallery/Gallery.h"

#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "shell/EditHistory.h"
#include "shell/EditHistoryDlg.h"

#include "editors/input/DialogEfx.h"
#include "editors/input/EfxTitle.h"
#include "editors/EqFitDlg.h"
#include "widgets/EqSection.h"
#include "widgets/BandGrid.h"
#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "controls/ControlsDemoPage.h"
#include "editors/output/DialogOutput.h"
#include "widgets/SSVolumePanel.h"
#include "model/EqPaths.h"
#include "model/FilterDesign.h"
#include "model/Measurement.h"
#include "model/ParameterStore.h"
#include "shell/DialogIP.h"
#include "shell/AboutDlg.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/DlgMsgBox.h"
#include "shell/InfoDlg.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/RemoteHost.h"
#include "shell/Page.h"
#include "shell/PageFactory.h"
#include "shell/RibbonBar.h"
#include "shell/IpAddressCtrl.h"
#include "shell/SynDlg.h"
#include "shell/WaitDlg.h"
#include "sim/FakeHidDevice.h"
#include "sim/NetworkHost.h"
#include "sim/ProcessorModel.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveList.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/RemoteDlg.h"
#include "smarthome/RemoteLearnDlg.h"
#include "smarthome/RemoteStudyDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>
#include <QPixmap>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <tuple>

namespace orvex {

namespace {

void Settle(int ms = 60) {
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    } while (timer.elapsed() < ms);
}

// The offscreen platform draws no window frames; a plain title bar shows each window's caption,
// which is part of what the gallery is there to check.
QPixmap WithTitleBar(QWidget* widget, const QPixmap& content) {
    if (!widget->isWindow())
        return content;
    constexpr int kBar = 28;
    const qreal dpr = content.devicePixelRatio();
    QPixmap framed(QSize(content.width(), content.height() + qRound(kBar * dpr)));
    framed.setDevicePixelRatio(dpr);
    framed.fill(Qt::white);
    QPainter painter(&framed);
    const QRectF bar(0, 0, content.width() / dpr, kBar);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, QColor(0x3d, 0x74, 0xb4));
    gradient.setColorAt(1, QColor(0x2c, 0x5d, 0x99));
    painter.fillRect(bar, gradient);
    QFont font = widget->font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(bar.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, widget->windowTitle());
    painter.drawPixmap(QPointF(0, kBar), content);
    return framed;
}

class GalleryWriter {
public:
    explicit GalleryWriter(QString directory) : m_dir(std::move(directory)) { QDir().mkpath(m_dir); }

    bool Save(QWidget* widget, const QString& name) {
        widget->show();
        Settle();
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        const bool ok = WithTitleBar(widget, widget->grab()).save(path);
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
        m_failures += ok ? 0 : 1;
        return ok;
    }

    bool SavePixmap(const QPixmap& pixmap, const QString& name) {
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        const bool ok = pixmap.save(path);
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
        m_failures += ok ? 0 : 1;
        return ok;
    }

    int Failures() const { return m_failures; }

private:
    QString m_dir;
    int m_failures = 0;
};

QString LangSuffix() {
    return UiLanguageIndex() == kLanguageEnglish ? QStringLiteral("en") : QStringLiteral("zh");
}

// The smart-plug window with each of its pages, then the plug dialogs on the first listed plug.
void RenderSmartPlugs(COrvexv13App& app, GalleryWriter& out, const QString& lang) {
    auto* window = qobject_cast<CDialogHomeTheater*>(app.ShowToolDialog(tmpl::SmartPlug));
    if (!window)
        return;
    Settle(CDialogHomeTheater::kReadDelayMs + 400); // its smart-data read, when connected
    for (int page = 0; page < CDialogHomeTheater::kPageCount; ++page) {
        window->ShowPage(page);
        out.Save(window, QStringLiteral("%1-page%2-%3").arg(tmpl::SmartPlug).arg(page).arg(lang));
    }
    window->ShowPage(CDialogHomeTheater::kPagePlugs);
    const std::vector<int> nodes = window->PlugList()->ListedNodes();
    const int node = nodes.empty() ? 2 : nodes.front();
    if (auto* edit = qobject_cast<CDlgZwaveEdit*>(app.ShowToolDialog(tmpl::PlugEdit))) {
        edit->StartAdd();
        out.Save(edit, QStringLiteral("%1-add-%2").arg(tmpl::PlugEdit).arg(lang));
        edit->StartModify(node);
        out.Save(edit, QStringLiteral("%1-modify-%2").arg(tmpl::PlugEdit).arg(lang));
    }
    if (auto* sw = qobject_cast<CDlgZwaveSwitch*>(app.ShowToolDialog(tmpl::PlugSwitch))) {
        sw->SetNode(node);
        out.Save(sw, QStringLiteral("%1-%2").arg(tmpl::PlugSwitch).arg(lang));
    }
    if (auto* dimmer = qobject_cast<CDlgZwaveLight*>(app.ShowToolDialog(tmpl::PlugDimmer))) {
        dimmer->SetNode(node);
        dimmer->Slider()->setValue(35);
        out.Save(dimmer, QStringLiteral("%1-%2").arg(tmpl::PlugDimmer).arg(lang));
    }
    app.DestroyToolDialog(tmpl::SmartPlug); // the plug dialogs go with it
}

// The output page at the smallest page area and large: CH1 of the linked pair CH1+CH2, and CH5 with its
// crossover band a Butterworth 24 dB low-pass, band 9 selected so that the family list shows. The crossover is
// put into the store only for the picture and taken out again; nothing is sent.
void RenderOutputViews(COrvexv13App& app, GalleryWriter& out, const QString& lang) {
    ParameterStore& store = app.Store();
    const QByteArray option = app.Settings().QtOption();
    QByteArray linked = option;
    linked[0] = 1;
    app.Settings().SetQtOption(linked);
    constexpr int kChannel = 4;
    const int first = OutputChannelFirstRecord(kChannel);
    std::vector<EqBand> saved;
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b)
        saved.push_back(store.GetEqBand(first + b));
    const CrossoverCodes codes = ExpandCrossoverFamily(9, false);
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b) {
        EqBand band = store.GetEqBand(first + b);
        band.type = codes[static_cast<size_t>(b - kOutputCrossoverBand)];
        band.freqHz = 120;
        band.gainDb = 0.0f;
        band.q = 0.707f;
        store.SetEqBand(first + b, band);
    }
    const struct {
        QSize size;
        const char* tag;
    } sizes[] = {{QSize(1024, 520), "min"}, {QSize(1600, 900), "large"}};
    for (const auto& view : sizes) {
        QWidget holder;
        holder.setWindowTitle(QStringLiteral("%1 x %2").arg(view.size.width()).arg(view.size.height()));
        auto* layout = new QVBoxLayout(&holder);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* page = new CDialogOutput(app.Context(), &holder);
        layout->addWidget(page);
        holder.resize(view.size);
        page->SetOutputChannel(0);
        out.Save(&holder, QStringLiteral("%1-linked-%2-%3").arg(tmpl::Output).arg(view.tag).arg(lang));
        page->SetOutputChannel(kChannel);
        page->SelectEqBand(kOutputCrossoverBand + 1); // as Ctrl+0 does
        out.Save(&holder, QStringLiteral("%1-crossover-%2-%3").arg(tmpl::Output).arg(view.tag).arg(lang));
    }
    for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b)
        store.SetEqBand(first + b, saved[static_cast<size_t>(b - kOutputCrossoverBand)]);
    app.Settings().SetQtOption(option);
}

// The room drawing of a 6 x 4 m room, wider than the drawing's shape, with a speaker in every corner and
// in the middle of every wall: one scale for both directions and every name inside the drawing.
void RenderRoomDrawing(GalleryWriter& out, const QString& lang) {
    CSSVolumePanel drawing;
    drawing.resize(560, 420);
    drawing.SetRoomSize(6, 4);
    const RoomPoint at[kRoomSpeakerCount] = {{-3, 2}, {0, 2}, {3, 2}, {-3, -2}, {0, -2}, {3, -2}, {-3, 0}, {3, 0}};
    for (int i = 0; i < kRoomSpeakerCount; ++i)
        drawing.SetPoint(i + 1, at[i]);
    out.Save(&drawing, QStringLiteral("room-6x4-%1").arg(lang));
}

// A speaker measured in a room, 1/24 octave from 20 Hz to 20 kHz: its low-frequency roll-off, three
// room modes, a dip from a boundary, a slightly rising treble and a little ripple.
Measurement SampleRoomMeasurement() {
    const std::vector<EqBand> room = {{0.0f, 38, 0.707f, eqtype::HighPass}, {8.0f, 52, 5.0f, eqtype::Peaking},
                                      {5.5f, 110, 4.0f, eqtype::Peaking},   {-7.0f, 180, 3.0f, eqtype::Peaking},
                                      {3.5f, 310, 2.5f, eqtype::Peaking},   {-3.0f, 2600, 1.2f, eqtype::Peaking},
                                      {2.5f, 9000, 0.8f, eqtype::HighShelf}};
    Measurement m;
    int i = 0;
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 24.0), ++i) {
        m.freqHz.push_back(f);
        m.levelDb.push_back(82.0 + EqResponseDb(room, f) + 0.4 * std::sin(i * 1.3) * std::sin(i * 0.31));
    }
    return NormaliseMeasurement(m);
}

// An output page with a room measurement on CH3: the measured and predicted curves, then the fit
// dialog with its proposal drawn on the graph. Nothing is sent: the dialog is cancelled.
void RenderRoomCorrection(COrvexv13App& app, GalleryWriter& out, const QString& lang) {
    constexpr int kChannel = 2;
    const int identity = eqid::FirstOutput + kChannel;
    CEqOverlays::Instance().SetMeasurement(identity, SampleRoomMeasurement(), QStringLiteral("CH3.txt"));
    QWidget holder;
    holder.setWindowTitle(QStringLiteral("1280 x 640"));
    auto* layout = new QVBoxLayout(&holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* page = new CDialogOutput(app.Context(), &holder);
    layout->addWidget(page);
    holder.resize(1280, 640);
    page->SetOutputChannel(kChannel);
    out.Save(&holder, QStringLiteral("%1-measurement-%2").arg(tmpl::Output).arg(lang));
    page->Eq()->FitToMeasurement();
    if (auto* fit = qobject_cast<CEqFitDlg*>(page->Eq()->FitDialog())) {
        Settle();
        out.Save(&holder, QStringLiteral("%1-fit-proposal-%2").arg(tmpl::Output).arg(lang));
        out.Save(fit, QStringLiteral("fit-dialog-%1").arg(lang));
        // Both together, the dialog where it opens: over the band list beside the graph.
        QPixmap scene = holder.grab();
        const QPixmap dialog = WithTitleBar(fit, fit->grab());
        QPoint at = page->Eq()->Grid()->mapTo(&holder, QPoint(0, 0));
        at.setX(std::min(at.x(), holder.width() - dialog.width()));
        at.setY(std::max(0, std::min(at.y(), holder.height() - dialog.height())));
        QPainter painter(&scene);
        painter.drawPixmap(at, dialog);
        painter.end();
        out.SavePixmap(scene, QStringLiteral("room-correction-%1").arg(lang));
        const std::optional<std::vector<EqBand>> bands = fit->Proposal();
        fit->reject();
        // The graph as it is once the fit is applied, shown on the graph alone (the store keeps its bands).
        if (bands) {
            CEqPanel* panel = page->Eq()->Panel();
            for (size_t b = 0; b < bands->size(); ++b)
                panel->LoadBand(static_cast<int>(b), (*bands)[b]);
            page->Eq()->Grid()->Reload(); // the band list reads the graph
            out.Save(&holder, QStringLiteral("%1-fit-applied-%2").arg(tmpl::Output).arg(lang));
        }
    }
    CEqOverlays::Instance().ClearAll();
}

void RenderAll(COrvexv13App& app, GalleryWriter& out) {
    CMainFrame* frame = app.MainFrame();
    COrvexv13View* view = app.View();
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        SetLanguageIndex(language);
        app.ApplyLanguage();
        frame->UpdateCommandUI();
        const QString lang = LangSuffix();

        frame->Ribbon()->SetActiveCategory(0);
        view->OnCategoryChanged(RibbonCategoryId::Input);
        frame->UpdateCommandUI();
        out.Save(frame, QStringLiteral("main-") + lang);
        {
            // The narrowest the window goes: the tab row's buttons must still fit beside the tabs.
            const QSize full = frame->size();
            frame->resize(frame->minimumSize());
            out.Save(frame, QStringLiteral("main-narrowest-") + lang);
            frame->resize(full);
        }

        for (PageKind kind :
             {PageKind::Music, PageKind::Efx, PageKind::Output, PageKind::Delay, PageKind::Ssvc, PageKind::Comp}) {
            view->SwitchToPage(kind);
            out.Save(view->CurrentPage(), QStringLiteral("%1-%2").arg(PageTemplate(kind)).arg(lang));
        }
        // The effects page once per kind, at the smallest page area and at a large one, and its title
        // banner at twice the scale.
        for (int kind = 0; kind < CDialogEfx::kKindCount; ++kind) {
            view->SwitchToPage(PageKind::Efx, kind);
            auto* efx = qobject_cast<CDialogEfx*>(view->CurrentPage());
            if (efx == nullptr)
                break;
            const QRect placed = efx->geometry();
            for (QSize size : {QSize(1024, 520), QSize(1600, 900)}) {
                efx->resize(size);
                out.Save(efx, QStringLiteral("%1-kind%2-%3x%4-%5")
                                  .arg(tmpl::Efx)
                                  .arg(kind)
                                  .arg(size.width())
                                  .arg(size.height())
                                  .arg(lang));
            }
            efx->setGeometry(placed);
            out.SavePixmap(efx->Title()->Render(2.0),
                           QStringLiteral("%1-title%2-%3-2x").arg(tmpl::Efx).arg(kind).arg(lang));
        }
        view->SwitchToPage(PageKind::Music);
        RenderOutputViews(app, out, lang);
        RenderRoomCorrection(app, out, lang);
        RenderRoomDrawing(out, lang);

        // The first page at the smallest page area and a large one, and its music view.
        for (const auto& [size, channelView, name] : {std::tuple{QSize(1024, 520), 0, "min"},
                                                      {QSize(1600, 900), 1, "large"},
                                                      {QSize(1024, 520), 2, "music-view"}}) {
            std::unique_ptr<CPage> page(CreatePage(PageKind::Music, app.Context(), nullptr));
            page->SetChannelView(channelView);
            page->Relabel();
            page->RefreshFromStore();
            page->resize(size);
            out.Save(page.get(), QStringLiteral("%1-%2-%3").arg(PageTemplate(PageKind::Music)).arg(name).arg(lang));
        }

        {
            CInfoDlg info;
            info.ShowMessage(Tr2("音乐已静音", "Music Muted"), 60000);
            out.Save(&info, QStringLiteral("%1-%2").arg(tmpl::Info).arg(lang));
        }
        {
            CSynDlg sync;
            out.Save(&sync, QStringLiteral("%1-%2").arg(tmpl::Syn).arg(lang));
            sync.EndFromOutside();
        }
        {
            CWaitDlg wait(Tr2("正在添加插座，请按插座上的按键……", "Adding a plug: press the button on the plug…"),
                          CWaitDlg::kKindAddPlug, 0, 0);
            out.Save(&wait, QStringLiteral("%1-%2").arg(tmpl::Wait).arg(lang));
            wait.Finish(0);
        }
        {
            CDlgMsgBox box(Tr2("链接通道的设置不同，以哪个通道为准?", "The linked channels differ. Which one is kept?"),
                           Tr2("通道1", "Channel 1"), Tr2("通道2", "Channel 2"));
            out.Save(&box, QStringLiteral("%1-%2").arg(tmpl::MsgBox).arg(lang));
        }
        {
            CAboutDlg about(app.Store(), app.Session().State());
            out.Save(&about, QStringLiteral("%1-%2").arg(tmpl::About).arg(lang));
        }
        {
            // The save prompt at closing: its buttons are Qt's own texts, in the interface's language.
            QMessageBox prompt(QMessageBox::Question, Tr2("保存?", "Save?"), CMainFrame::SavePromptText(),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            prompt.setDefaultButton(QMessageBox::No);
            out.Save(&prompt, QStringLiteral("save-prompt-%1").arg(lang));
        }
        {
            // The edit history with a few actions, a boundary and one step undone, on a store of its own.
            ParameterStore store;
            store.ResetStoreDefaults();
            CEditHistory history(store, {});
            history.BeginAction(0, "话筒总音量", "Mic volume");
            store.Set(fields::micMasterVolume, 60);
            history.EndAction();
            history.Break({"从机器读取", "Read from the processor"});
            history.BeginAction(0, "均衡图", "EQ graph");
            store.SetEqPathBand(eqid::FirstOutput + 2, 3, EqBand{4.0f, 900, 2.0f, 1});
            history.EndAction();
            history.BeginAction(0, "音乐静音", "Music mute");
            store.Set(fields::musicMute, 1);
            history.EndAction();
            history.Undo();
            CEditHistoryDlg dialog(history);
            out.Save(&dialog, QStringLiteral("edit-history-%1").arg(lang));
        }
        // The modeless tool dialogs that exist.
        for (int t : {tmpl::MachineSettings, tmpl::Remote, tmpl::MusicInput, tmpl::SmartPlug, tmpl::Features,
                      tmpl::ConnectIp, tmpl::PhoneRemote, tmpl::HomeAutomation}) {
            CToolDialog* dialog = app.ShowToolDialog(t);
            if (dialog)
                out.Save(dialog, QStringLiteral("%1-%2").arg(t).arg(lang));
            app.DestroyToolDialog(t);
        }
        // The phone remote while it serves this computer: the address, its code and the PIN.
        if (app.RemoteHost().Start(CRemoteHost::Scope::ThisComputer, 0)) {
            if (CToolDialog* dialog = app.ShowToolDialog(tmpl::PhoneRemote))
                out.Save(dialog, QStringLiteral("%1-on-%2").arg(tmpl::PhoneRemote).arg(lang));
            app.DestroyToolDialog(tmpl::PhoneRemote);
            app.RemoteHost().Stop();
        }
        RenderSmartPlugs(app, out, lang);
        // The remote's study dialog and the plugs' remote-learning page, each on its own.
        {
            CRemoteStudyDlg study(app.Session(), CRemoteDlg::LearnPrompt(5));
            out.Save(&study, QStringLiteral("%1-%2").arg(CRemoteStudyDlg::kTemplateId).arg(lang));
        }
        {
            CRemoteLearnDlg learn(app.Context(), nullptr);
            learn.setWindowTitle(Tr2("遥控学习", "Learn"));
            learn.resize(620, 420);
            learn.RefreshFromStore();
            out.Save(&learn, QStringLiteral("%1-%2").arg(CRemoteLearnDlg::kTemplateId).arg(lang));
        }
    }
}

} // namespace

namespace {

// The editing controls on sample bands (until the pages that use them exist), in both languages at
// 100 % and 200 %: controls-zh.png, controls-en-2x.png, ...
int RenderControlsDemo(const QString& directory) {
    int failures = 0;
    DemoPage demo = BuildDemoPage();
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        SetLanguageIndex(language);
        ApplyDemoLanguage(demo, language);
        for (int scale : {1, 2}) {
            const QString path = QStringLiteral("%1/controls-%2%3.png")
                                     .arg(directory, LangSuffix(), scale == 1 ? QString() : QStringLiteral("-2x"));
            const bool ok = RenderDemoPage(demo, scale).save(path);
            std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
            failures += ok ? 0 : 1;
        }
    }
    delete demo.page;
    SetLanguageIndex(kLanguageChinese);
    return failures;
}

void QuietOffscreenMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    qt_message_output(type, context, message);
}
} // namespace

int RunGallery(const QString& directory) {
    qInstallMessageHandler(QuietOffscreenMessages);
    // Settings of a throw-away location: the gallery never touches the user's.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    qputenv("XDG_DATA_HOME", settingsDir.path().toLocal8Bit());
    // Key files go to a documents folder of the same throw-away location.
    qputenv("HOME", settingsDir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (settingsDir.path() + QStringLiteral("/.config")).toLocal8Bit());

    // Message boxes would wait for a user nobody is; they are answered and logged instead.
    SetMessageBoxHook([](const MessageBoxRequest& r) {
        std::printf("message box: %s\n", qPrintable(r.text));
        return QMessageBox::Ok;
    });
    SetNonBlockingBoxHook([](const MessageBoxRequest& r, std::function<void()> close) {
        std::printf("message box: %s\n", qPrintable(r.text));
        close();
    });

    int failures = 0;
    sim::ProcessorModel unplugged;
    sim::FakeHidBackend noDevices(unplugged);
    {
        COrvexv13App app;
        COrvexv13App::Options options;
        options.singleInstance = false;
        options.keyboardShortcuts = false;
        // The gallery never touches the machine's own devices.
        options.watchDevices = false;
        options.hidBackend = &noDevices;
        if (!app.InitInstance(options))
            return 1;
        app.MainFrame()->resize(1200, 760);
        GalleryWriter defaults(directory);
        RenderAll(app, defaults);
        failures += defaults.Failures();
        failures += RenderControlsDemo(directory);

        // A synchronised state: the simulated processor on a free loopback port.
        sim::ProcessorModel model;
        sim::HostOptions hostOptions;
        hostOptions.address = "127.0.0.1";
        hostOptions.port = 0;
        sim::NetworkHost host(model, hostOptions);
        std::string error;
        if (!host.Start(&error)) {
            std::fprintf(stderr, "gallery: simulator did not start: %s\n", error.c_str());
            return 1;
        }
        auto* dialog = qobject_cast<CDialogIP*>(app.ShowToolDialog(tmpl::ConnectIp));
        dialog->AddressCtrl()->SetAddress(QStringLiteral("127.0.0.1"));
        dialog->SetPort(host.Port());
        bool opened = false;
        QEventLoop connecting;
        QObject::connect(dialog, &CDialogIP::connectFinished, &connecting, [&](bool ok) {
            opened = ok;
            connecting.quit();
        });
        dialog->Connect();
        connecting.exec();
        if (!opened) {
            std::fprintf(stderr, "gallery: could not connect to the simulator\n");
            return 1;
        }
        Settle(200);
        app.View()->HideBalloon();
        GalleryWriter synced(directory + QStringLiteral("/synced"));
        RenderAll(app, synced);
        failures += synced.Failures();
        app.CloseLink();
        app.ExitInstance();
        host.Stop();
    }
    return failures == 0 ? 0 : 1;
}

} // namespace orvex
