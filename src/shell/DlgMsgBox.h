#pragma once

#include <QDialog>

namespace orvex {

// A message with two named choices and Cancel (template 513). The result is 1 for the first
// choice, 2 for the second and 0 for Cancel.
class CDlgMsgBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1186;
    static constexpr int kFirstId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kSecondId = 3;

    CDlgMsgBox(const QString& message, const QString& first, const QString& second, QWidget* owner = nullptr);
};

} // namespace orvex
