#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QAction;
class QLineEdit;

namespace orvex {

// A dotted IPv4 address entered as four decimal fields of 0..255. A ":" typed in a field, or a pasted
// "host:port", hands the port over with portEntered; the address part of a paste fills the four fields.
class CIpAddressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CIpAddressCtrl(QWidget* parent = nullptr);

    // "a.b.c.d" from the four fields, each written in decimal (an empty field reads 0).
    QString Address() const;
    // False, with the fields unchanged, unless `address` is a dotted IPv4 address.
    bool SetAddress(const QString& address);
    QLineEdit* Field(int index) const { return m_fields[static_cast<size_t>(index)]; }
    // Text as a user pastes it into the control: "a.b.c.d" or "a.b.c.d:port", blanks around it allowed.
    // The address goes into the fields and the port text (possibly empty or not a number) is reported
    // with portEntered. False, with nothing changed, when the text holds no whole address.
    bool PasteText(const QString& text);
    // The Paste entry of a field's standard context menu.
    static bool IsPasteAction(const QAction* action);

signals:
    // A ":" after the address, or the port of a pasted "host:port" (the text after the ":", as given;
    // empty when only the ":" was typed).
    void portEntered(const QString& portText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AdvanceFrom(size_t index, bool automatic);
    // Pastes the clipboard into `field`: a whole address through PasteText, anything else as the
    // field's own paste (which keeps only what its validator allows).
    void PasteInto(QLineEdit* field);

    std::array<QLineEdit*, 4> m_fields{};
    // The field the caret was moved into after three digits, until another key or a click: a "."
    // typed right then closes the part just completed and must not move on again.
    int m_autoAdvancedInto = -1;
};

} // namespace orvex
