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
    std::array<QLineEdit*, 4> m_fields{};
};

} // namespace orvex
