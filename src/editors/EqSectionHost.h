#pragma once

#include "widgets/EqSection.h"

namespace orvex {

// The equaliser section's host on every page: the shell's message boxes, file dialog and control
// hints, and the room-correction fit dialog.
class CEqSectionHost : public IEqSectionHost {
public:
    void ShowError(QWidget* parent, const QString& text, const QString& caption) override;
    void ShowInformation(QWidget* parent, const QString& text, const QString& caption) override;
    QString AskFileName(QWidget* parent, bool save, const QString& caption, const QString& defaultName,
                        const QString& filter, const QString& defaultSuffix) override;
    void SetHint(QWidget* widget, const char* zh, const char* en) override;
    IEqFitDialog* CreateFitDialog(EqFitInput input, QWidget* parent) override;
};

// The one host the pages share; it keeps no state of its own.
IEqSectionHost& EqSectionHost();

} // namespace orvex
