#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace orvex {

// Every modal message box and file dialog of the shell goes through here, so that tests can
// answer them without a nested event loop (as KeePassXC answers its own with a mock).
struct MessageBoxRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // The button Enter presses; NoButton leaves the choice to the platform.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Returns the button pressed.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const MessageBoxRequest& request);

// Shorthands for the program's three kinds of box. A question that offers No has No as its default
// button: the questions ask before overwriting a memory, a file or the user's edits, and a
// reflexive Enter must not do that.
QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);
void ShowErrorBox(QWidget* parent, const QString& text, const QString& caption);
void ShowInformationBox(QWidget* parent, const QString& text, const QString& caption);

// A box that does not block the caller; `closed` runs when the user dismisses it.
void OpenMessageBox(QWidget* parent, const MessageBoxRequest& request, std::function<void()> closed);
void OpenErrorBox(QWidget* parent, const QString& text, const QString& caption, std::function<void()> closed);

struct FileDialogRequest {
    bool save = false;
    QString caption;
    QString defaultName;
    QString filter;
    QString defaultSuffix; // added to a saved name typed without one
};

// Empty when the user cancelled. The dialog opens in the folder of the file chosen last (kept in
// the settings), and a chosen file makes its folder the last one.
QString AskFileName(QWidget* parent, const FileDialogRequest& request);

// Test seams: while a hook is installed it answers instead of a dialog. OpenErrorBox hands the
// hook a request and calls `closed` only when the test calls the returned closer.
using MessageBoxHook = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;
using FileDialogHook = std::function<QString(const FileDialogRequest&)>;
using NonBlockingBoxHook = std::function<void(const MessageBoxRequest&, std::function<void()> close)>;
void SetMessageBoxHook(MessageBoxHook hook);
void SetFileDialogHook(FileDialogHook hook);
void SetNonBlockingBoxHook(NonBlockingBoxHook hook);

} // namespace orvex
