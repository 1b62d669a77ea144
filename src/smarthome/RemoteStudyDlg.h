#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class DeviceSession;

// "Learning": waits for the processor to report the code of the remote key being learnt, shows it
// and closes itself a second later. Giving up sends the stop-learning request.
class CRemoteStudyDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 372;
    static constexpr int kPromptId = 1006;
    static constexpr int kCodeLabelId = 1007;
    static constexpr int kCodeId = 1008;
    static constexpr int kClosingId = 1009;
    static constexpr int kCloseId = 1;
    static constexpr int kCancelId = 3;
    static constexpr int kAutoCloseMs = 1000;

    CRemoteStudyDlg(DeviceSession& session, const QString& prompt, QWidget* parent = nullptr);

    // The processor learnt `code`.
    void ShowCode(uint8_t code);
    void Relabel();

    bool Learned() const { return m_learned; }
    QString CodeText() const;
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* CloseButton() const { return m_close; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

public slots:
    // Cancel, Escape or the window's close button: learning stops unless it has finished.
    void reject() override;

private:
    DeviceSession& m_session;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_code = nullptr;
    QLabel* m_closing = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_autoClose;
    bool m_learned = false;
};

} // namespace orvex
