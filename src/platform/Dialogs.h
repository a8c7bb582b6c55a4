#pragma once

// Every modal question the program asks goes through here: the message box, the input box,
// the folder dialog, and handing a document or an address to the desktop. The program uses
// the Qt implementation; tests install a scripted one that answers and records.

#include <QString>
#include <optional>

class QWidget;

enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgAnswer { OK, Cancel, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box with the application's title.
    virtual MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon) = 0;
    // A modal input box; nothing when the user cancels.
    virtual std::optional<QString> inputBox(
        const QString& prompt, const QString& title, const QString& defaultText)
        = 0;
    // The folder dialog; empty text when the user cancels.
    virtual QString chooseFolder(const QString& prompt, const QString& initialFolder) = 0;
    // Hands a document or an address to the desktop's handler; false when that failed.
    virtual bool openDocument(const QString& target) = 0;
};

// The dialogs in use. The Qt dialogs unless another set was installed.
Dialogs& dialogs();

// Installs a set of dialogs (not owned; nullptr restores the Qt dialogs).
void setDialogs(Dialogs* replacement);

// Closes every dialog the Qt set has open as cancelled: the user's answer is no longer
// awaited, the program is ending.
void cancelOpenDialogs();

// The window the modal dialogs belong to (may be null).
void setDialogOwner(QWidget* owner);
QWidget* dialogOwner();

// A window title that Qt shows exactly as given (it would take "[*]" for a placeholder).
QString literalTitle(QString text);
