#include "shell/MessageBoxes.h"

#include <QFileDialog>
#include <QFileInfo>

namespace orvex {

namespace {
MessageBoxHook g_messageBoxHook;
FileDialogHook g_fileDialogHook;
NonBlockingBoxHook g_nonBlockingHook;

QMessageBox* MakeBox(QWidget* parent, const MessageBoxRequest& request) {
    auto* box = new QMessageBox(request.icon, request.caption, request.text, request.buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}
} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    g_messageBoxHook = std::move(hook);
}
void SetFileDialogHook(FileDialogHook hook) {
    g_fileDialogHook = std::move(hook);
}
void SetNonBlockingBoxHook(NonBlockingBoxHook hook) {
    g_nonBlockingHook = std::move(hook);
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const MessageBoxRequest& request) {
    if (g_messageBoxHook)
        return g_messageBoxHook(request);
    QMessageBox* box = MakeBox(parent, request);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    const auto result = static_cast<QMessageBox::StandardButton>(box->exec());
    delete box;
    return result;
}

QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::StandardButtons buttons) {
    return ShowMessageBox(parent, {QMessageBox::Question, caption, text, buttons});
}

void ShowErrorBox(QWidget* parent, const QString& text, const QString& caption) {
    ShowMessageBox(parent, {QMessageBox::Critical, caption, text, QMessageBox::Ok});
}

void ShowInformationBox(QWidget* parent, const QString& text, const QString& caption) {
    ShowMessageBox(parent, {QMessageBox::Information, caption, text, QMessageBox::Ok});
}

void OpenErrorBox(QWidget* parent, const QString& text, const QString& caption, std::function<void()> closed) {
    OpenMessageBox(parent, {QMessageBox::Critical, caption, text, QMessageBox::Ok}, std::move(closed));
}

void OpenMessageBox(QWidget* parent, const MessageBoxRequest& request, std::function<void()> closed) {
    if (g_nonBlockingHook) {
        g_nonBlockingHook(request, std::move(closed));
        return;
    }
    QMessageBox* box = MakeBox(parent, request);
    QObject::connect(box, &QMessageBox::finished, box, [closed = std::move(closed)](int) {
        if (closed)
            closed();
    });
    box->open();
}

QString AskFileName(QWidget* parent, const FileDialogRequest& request) {
    if (g_fileDialogHook)
        return g_fileDialogHook(request);
    if (request.save) {
        QString path = QFileDialog::getSaveFileName(parent, request.caption, request.defaultName, request.filter);
        if (!path.isEmpty() && !request.defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QLatin1Char('.') + request.defaultSuffix;
        return path;
    }
    return QFileDialog::getOpenFileName(parent, request.caption, request.defaultName, request.filter);
}

} // namespace orvex
