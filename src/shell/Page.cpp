#include "shell/Page.h"

#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "shell/Relabel.h"
#include "shell/Theme.h"

#include <QPainter>

namespace orvex {

int PageTemplate(PageKind kind) {
    switch (kind) {
    case PageKind::Music:
        return tmpl::Music;
    case PageKind::Efx:
        return tmpl::Efx;
    case PageKind::Output:
        return tmpl::Output;
    case PageKind::Delay:
        return tmpl::Delay;
    case PageKind::Ssvc:
        return tmpl::Ssvc;
    case PageKind::Comp:
        return tmpl::Comp;
    }
    return 0;
}

CPage::CPage(PageKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
    SetTemplateId(this, PageTemplate(kind));
    UsePageBackground(this);
}

int CPage::TemplateId() const {
    return PageTemplate(m_kind);
}

void CPage::Relabel() {
    RelabelDialog(this, TemplateId());
    ApplyControlHints(this);
}

void CPage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), kPageBackground);
    QWidget::paintEvent(event);
}

} // namespace orvex
