#include "shell/ToolDialog.h"

#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Relabel.h"

namespace orvex {

CToolDialog::CToolDialog(int templateId, QWidget* parent) : QDialog(parent), m_templateId(templateId) {
    SetTemplateId(this, templateId);
}

void CToolDialog::Relabel() {
    RelabelDialog(this, m_templateId);
    ApplyControlHints(this);
}

void CToolDialog::CloseDialog() {
    close();
    delete this;
}

} // namespace orvex
