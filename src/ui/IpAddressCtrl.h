#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QLineEdit;

namespace orvex {

// A dotted IPv4 address entered as four decimal fields of 0..255.
class CIpAddressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CIpAddressCtrl(QWidget* parent = nullptr);

    // "a.b.c.d" from the four fields, each written in decimal (an empty field reads 0).
    QString Address() const;
    // False, with the fields unchanged, unless `address` is a dotted IPv4 address.
    bool SetAddress(const QString& address);
    QLineEdit* Field(int index) const { return m_fields[static_cast<size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AdvanceFrom(size_t index, bool automatic);

    std::array<QLineEdit*, 4> m_fields{};
    // The field the caret was moved into after three digits, until another key or a click: a "."
    // typed right then closes the part just completed and must not move on again.
    int m_autoAdvancedInto = -1;
};

} // namespace orvex
