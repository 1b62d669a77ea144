#pragma once

#include "shell/ToolDialog.h"

class QLabel;

namespace orvex {

// Stands in for a modeless tool dialog in the shell's tests: a window with its title, so the
// ribbon button, the show operation and relabelling run as they will for the real dialog.
class CPlaceholderDialog : public CToolDialog {
    Q_OBJECT
public:
    explicit CPlaceholderDialog(int templateId, QWidget* parent = nullptr);

    int Refreshes() const { return m_refreshes; }

    void RefreshFromStore() override { ++m_refreshes; }

private:
    int m_refreshes = 0;
};

} // namespace orvex
