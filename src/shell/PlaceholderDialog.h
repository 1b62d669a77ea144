#pragma once

#include <QDialog>

class QLabel;

namespace orvex {

// Stands in for a modeless tool dialog that is not built yet: a window with its title, so the
// ribbon button, the show operation and relabelling run as they will for the real dialog.
class CPlaceholderDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPlaceholderDialog(int templateId, QWidget* parent = nullptr);

    int TemplateId() const { return m_templateId; }
    int Refreshes() const { return m_refreshes; }

public slots:
    void RefreshFromStore() { ++m_refreshes; }

private:
    int m_templateId;
    int m_refreshes = 0;
};

} // namespace orvex
