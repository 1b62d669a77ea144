#include "shell/MessageBoxes.h"

#include "shell/AppSettings.h"

#include <QDir>
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
    if (request.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(request.defaultButton);
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
    const QMessageBox::StandardButton defaultButton =
        buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::NoButton;
    return ShowMessageBox(parent, {QMessageBox::Question, caption, text, buttons, defaultButton});
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

namespace {
QString RunFileDialog(QWidget* parent, const FileDialogRequest& request, const QString& folder) {
    const QString start = folder.isEmpty()                ? request.defaultName
                          : request.defaultName.isEmpty() ? folder
                                                          : QDir(folder).filePath(request.defaultName);
    QFileDialog dialog(parent, request.caption, start, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();
    if (request.save && !request.defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + request.defaultSuffix;
    return path;
}
} // namespace

QString AskFileName(QWidget* parent, const FileDialogRequest& request) {
    AppSettings settings;
    QString folder = settings.LastFolder();
    // A folder removed since is not offered: the dialog starts where the platform starts it.
    if (!folder.isEmpty() && !QDir(folder).exists())
        folder.clear();
    const QString path = g_fileDialogHook ? g_fileDialogHook(request) : RunFileDialog(parent, request, folder);
    if (!path.isEmpty())
        settings.SetLastFolder(QFileInfo(path).absolutePath());
    return path;
}

} // namespace orvex
