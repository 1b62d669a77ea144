#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace orvex {

// The transient information box behind ShowInfoMessage (template 344): modeless, one instance,
// destroyed when its close timer fires or "Close" is pressed.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMessageId = 1223;
    static constexpr int kCloseId = 2;

    explicit CInfoDlg(QWidget* parent = nullptr);

    // Replaces the message and (re)starts timer 900 with `milliseconds`.
    void ShowMessage(const QString& text, int milliseconds);
    QString Text() const;
    void Relabel();

private:
    QLabel* m_message = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_closeTimer; // timer 900
};

} // namespace orvex
