#include "editors/EqSectionHost.h"

#include "editors/EqFitDlg.h"
#include "shell/ControlHints.h"
#include "shell/MessageBoxes.h"

namespace orvex {

void CEqSectionHost::ShowError(QWidget* parent, const QString& text, const QString& caption) {
    ShowErrorBox(parent, text, caption);
}

void CEqSectionHost::ShowInformation(QWidget* parent, const QString& text, const QString& caption) {
    ShowInformationBox(parent, text, caption);
}

QString CEqSectionHost::AskFileName(QWidget* parent, bool save, const QString& caption, const QString& defaultName,
                                    const QString& filter, const QString& defaultSuffix) {
    return orvex::AskFileName(parent, {save, caption, defaultName, filter, defaultSuffix});
}

void CEqSectionHost::SetHint(QWidget* widget, const char* zh, const char* en) {
    orvex::SetHint(widget, zh, en);
}

IEqFitDialog* CEqSectionHost::CreateFitDialog(EqFitInput input, QWidget* parent) {
    return new CEqFitDlg(std::move(input), parent);
}

IEqSectionHost& EqSectionHost() {
    static CEqSectionHost host;
    return host;
}

} // namespace orvex
