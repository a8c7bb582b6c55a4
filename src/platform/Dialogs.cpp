#include "platform/Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

namespace {

QString applicationTitle() { return QStringLiteral("Lumra"); }

class QtDialogs final : public Dialogs {
public:
    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon) override
    {
        QMessageBox box(dialogOwner());
        box.setWindowTitle(applicationTitle());
        box.setText(text);
        switch (icon) {
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        switch (buttons) {
        case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OKCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel: return MsgAnswer::Cancel;
        case QMessageBox::Yes: return MsgAnswer::Yes;
        case QMessageBox::No: return MsgAnswer::No;
        default: return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::OK;
        }
    }

    std::optional<QString> inputBox(
        const QString& prompt, const QString& title, const QString& defaultText) override
    {
        bool accepted = false;
        QString answer = QInputDialog::getText(
            dialogOwner(), title, prompt, QLineEdit::Normal, defaultText, &accepted);
        if (!accepted)
            return std::nullopt;
        return answer;
    }

    QString chooseFolder(const QString& prompt, const QString& initialFolder) override
    {
        return QFileDialog::getExistingDirectory(dialogOwner(), prompt, initialFolder);
    }

    bool openDocument(const QString& target) override
    {
        const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
        return QDesktopServices::openUrl(url);
    }
};

QtDialogs& qtDialogs()
{
    static QtDialogs instance;
    return instance;
}

Dialogs* installed = nullptr;
QPointer<QWidget> owner;

} // namespace

Dialogs& dialogs() { return installed ? *installed : qtDialogs(); }

void setDialogs(Dialogs* replacement) { installed = replacement; }

void setDialogOwner(QWidget* newOwner) { owner = newOwner; }

QWidget* dialogOwner() { return owner.data(); }
