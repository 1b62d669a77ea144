#include "shell/IpAddressCtrl.h"

#include "shell/ControlHints.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace orvex {

CIpAddressCtrl::CIpAddressCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("IpAddressCtrl"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#IpAddressCtrl { background: white; border: 1px solid #9fb4cc; border-radius: 3px; }"
                                 "#IpAddressCtrl QLineEdit { border: none; background: transparent; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(40);
        field->installEventFilter(this);
        m_fields[i] = field;
        SetHint(field, "机器的IP地址, 每段 0..255", "The processor's IP address, 0..255 each part");
        layout->addWidget(field);
        if (i + 1 < m_fields.size())
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        // Three digits complete a field: the caret moves on, as in the platform's address control.
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < m_fields.size())
                AdvanceFrom(i, true);
        });
    }
}

QString CIpAddressCtrl::Address() const {
    QStringList parts;
    for (const QLineEdit* field : m_fields)
        parts << QString::number(field->text().toInt());
    return parts.join(QLatin1Char('.'));
}

bool CIpAddressCtrl::SetAddress(const QString& address) {
    const QStringList parts = address.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    std::array<int, 4> values{};
    for (size_t i = 0; i < values.size(); ++i) {
        bool ok = false;
        values[i] = parts[static_cast<int>(i)].toInt(&ok);
        if (!ok || values[i] < 0 || values[i] > 255)
            return false;
    }
    for (size_t i = 0; i < values.size(); ++i)
        m_fields[i]->setText(QString::number(values[i]));
    return true;
}

bool CIpAddressCtrl::IsPasteAction(const QAction* action) {
    return action->objectName() == QLatin1String("edit-paste") || action->text().startsWith(QLineEdit::tr("&Paste"));
}

bool CIpAddressCtrl::PasteText(const QString& text) {
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const QString address = colon < 0 ? trimmed : trimmed.left(colon).trimmed();
    if (!SetAddress(address))
        return false;
    if (colon >= 0)
        emit portEntered(trimmed.mid(colon + 1).trimmed());
    return true;
}

void CIpAddressCtrl::PasteInto(QLineEdit* field) {
    const QString text = QApplication::clipboard()->text();
    // A whole address, with or without its port, fills every field whichever one has the caret.
    if (text.contains(QLatin1Char('.')) || text.contains(QLatin1Char(':'))) {
        if (PasteText(text)) {
            m_fields.back()->setFocus();
            m_fields.back()->end(false);
        }
        return;
    }
    field->paste();
}

void CIpAddressCtrl::AdvanceFrom(size_t index, bool automatic) {
    m_fields[index + 1]->setFocus();
    m_fields[index + 1]->selectAll();
    // Set after the focus moved: leaving the previous field clears it.
    m_autoAdvancedInto = automatic ? static_cast<int>(index + 1) : -1;
}

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    const auto it = std::find(m_fields.begin(), m_fields.end(), watched);
    if (it == m_fields.end())
        return QWidget::eventFilter(watched, event);
    const auto index = static_cast<size_t>(it - m_fields.begin());
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool separator = key->key() == Qt::Key_Period || key->key() == Qt::Key_Space;
        const bool justAdvanced = m_autoAdvancedInto == static_cast<int>(index);
        m_autoAdvancedInto = -1;
        if (key->matches(QKeySequence::Paste)) {
            PasteInto(*it);
            return true;
        }
        if (key->key() == Qt::Key_Colon) {
            // "127.0.0.1:41557" typed: what follows the ":" is the port.
            emit portEntered(QString());
            return true;
        }
        if (separator) {
            // Typing "127.0.0.1" completes the first part with three digits, which already moved
            // the caret on; the "." that follows belongs to that part and is swallowed.
            if (!justAdvanced && index + 1 < m_fields.size())
                AdvanceFrom(index, false);
            return true;
        }
    } else if (event->type() == QEvent::ContextMenu) {
        // The field's own menu, whose Paste takes a whole address as the keys do.
        QLineEdit* field = *it;
        std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
        for (QAction* action : menu->actions()) {
            if (IsPasteAction(action)) {
                QObject::disconnect(action, &QAction::triggered, field, nullptr);
                connect(action, &QAction::triggered, this, [this, field] { PasteInto(field); });
            }
        }
        menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    } else if (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonPress) {
        if (m_autoAdvancedInto == static_cast<int>(index))
            m_autoAdvancedInto = -1;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orvex
