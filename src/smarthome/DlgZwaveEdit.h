#pragma once

#include "shell/PageContext.h"
#include "shell/ToolDialog.h"

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace orvex {

// The plug dialog: adds a plug (type and name go to the pending record, then the exclusion and
// inclusion run) or modifies one (its record is rewritten in the module's memory).
class CDlgZwaveEdit : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kTypeLabelId = 1005;
    static constexpr int kNameLabelId = 1007;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kMaxNameChars = 12;

    explicit CDlgZwaveEdit(const PageContext& ctx, QWidget* parent = nullptr);

    void StartAdd();
    void StartModify(int node);
    void Relabel() override;

    bool Adding() const { return m_adding; }
    int Node() const { return m_node; }
    QComboBox* TypeCombo() const { return m_type; }
    QLineEdit* NameEdit() const { return m_name; }
    QPushButton* OkButton() const { return m_ok; }

    // The OK button's work.
    void OnOk();

    // "<prefix>n" with the first n of 1..254 no listed plug is named; 254 when all are taken.
    QString ProposeName(const QString& prefix) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTypeChanged();
    void UpdateOkText();
    void Close();

    PageContext m_ctx;
    QComboBox* m_type = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_adding = true;
    int m_node = 0;
    bool m_filling = false;
};

} // namespace orvex
