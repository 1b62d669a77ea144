#pragma once

#include "widgets/ControlId.h"

#include <QVariant>
#include <QWidget>

namespace orvex {

// Template numbers of the dialogs and pages; the language tables key on them.
namespace tmpl {
inline constexpr int About = 100;
inline constexpr int Music = 313;
inline constexpr int Delay = 333;
inline constexpr int Ssvc = 334;
inline constexpr int MachineSettings = 335;
inline constexpr int Info = 344;
inline constexpr int Comp = 346;
inline constexpr int Syn = 347;
inline constexpr int Remote = 373;
inline constexpr int Output = 385;
inline constexpr int Efx = 421;
inline constexpr int SmartPlug = 479;
inline constexpr int PlugEdit = 480;
inline constexpr int PlugDimmer = 484;
inline constexpr int PlugSwitch = 485;
inline constexpr int Wait = 486;
inline constexpr int MusicInput = 512;
inline constexpr int MsgBox = 513;
inline constexpr int Features = 515;
inline constexpr int ConnectIp = 521;
inline constexpr int PhoneRemote = 530;
inline constexpr int HomeAutomation = 531;
} // namespace tmpl

// Command ids of the ribbon, the application menu and the status bar.
namespace cmd {
inline constexpr int FileOpen = 57601;
inline constexpr int FileSave = 57603;
inline constexpr int AppExit = 57665;
inline constexpr int AppAbout = 57664;

inline constexpr int LoadModeIn = 32815; // IDC_LOAD_M1
inline constexpr int LoadModeOut = 32900;
inline constexpr int SaveModeIn = 32819; // IDC_SAVE_M1
inline constexpr int SaveModeOut = 32904;
inline constexpr int LoadFileIn = 32827; // IDC_FILE_OPEN
inline constexpr int LoadFileOut = 32881;
inline constexpr int SaveFileIn = 32828; // IDC_FILE_SAVE
inline constexpr int SaveFileOut = 32882;
inline constexpr int LoadMode1 = 32910; // .. 32913
inline constexpr int SaveMode1 = 32914; // .. 32917

inline constexpr int ConnectIp = 32938;
inline constexpr int Features = 32887;
inline constexpr int SmartPlug = 32771;
inline constexpr int InputSource = 32922;
inline constexpr int Reset = 32811;    // ID_BTN_RESET
inline constexpr int Remote = 32812;   // ID_BTN_REMOTE
inline constexpr int Language = 32805; // ID_BTN_LANGUAGE
inline constexpr int EditUndo = 33001;
inline constexpr int EditRedo = 33002;
inline constexpr int EditHistory = 33003;
inline constexpr int PhoneRemote = 33004;
inline constexpr int HomeAutomation = 33005;
inline constexpr int RemoteAccess = 33006; // the tab row's menu of the two above

inline constexpr int StatusLink = 120;
inline constexpr int StatusMode = 121;
inline constexpr int EqBypass = 1121;
inline constexpr int EqReset = 1122;
} // namespace cmd

// A widget that is a dialog of its own inside another one (a sub-dialog) carries its template
// number; relabelling its parent does not descend into it.
inline constexpr const char* kTemplateProperty = "templateId";

inline void SetTemplateId(QWidget* widget, int templateId) {
    widget->setProperty(kTemplateProperty, templateId);
}

inline int TemplateIdOf(const QWidget* widget) {
    const QVariant v = widget->property(kTemplateProperty);
    return v.isValid() ? v.toInt() : 0;
}

// The first descendant (in creation order) that carries `id`, or null.
template <class T = QWidget>
T* FindCtrl(const QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (CtrlId(w) == id) {
            if (T* t = qobject_cast<T*>(w))
                return t;
        }
    }
    return nullptr;
}

} // namespace orvex
