#include "platform/Dialogs.h"

#include "platform/Texts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>
#include <vector>

namespace {

// The dialogs open now, the innermost last.
std::vector<QPointer<QDialog>> openDialogs;

// Runs a dialog modally; an end request may close it as cancelled meanwhile.
int run(QDialog& box)
{
    openDialogs.emplace_back(&box);
    const int result = box.exec();
    openDialogs.pop_back();
    return result;
}

class QtDialogs final : public Dialogs {
public:
    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon) override
    {
        QMessageBox box(dialogOwner());
        box.setWindowTitle(Texts::ProgramName);
        // File names are shown as they are: Qt would take a name with tags for rich text.
        box.setTextFormat(Qt::PlainText);
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
        // A box closed without a button (an end request) gives the cancelling answer.
        switch (run(box)) {
        case QMessageBox::Ok: return MsgAnswer::OK;
        case QMessageBox::Yes: return MsgAnswer::Yes;
        default:
            return buttons == MsgButtons::YesNo ? MsgAnswer::No
                : buttons == MsgButtons::OK     ? MsgAnswer::OK
                                                : MsgAnswer::Cancel;
        }
    }

    std::optional<QString> inputBox(
        const QString& prompt, const QString& title, const QString& defaultText) override
    {
        QInputDialog box(dialogOwner());
        box.setWindowTitle(literalTitle(title));
        box.setLabelText(prompt);
        box.setTextValue(defaultText);
        for (QLabel* label : box.findChildren<QLabel*>())
            label->setTextFormat(Qt::PlainText);
        if (run(box) != QDialog::Accepted)
            return std::nullopt;
        return box.textValue();
    }

    QString chooseFolder(const QString& prompt, const QString& initialFolder) override
    {
        QFileDialog box(dialogOwner(), literalTitle(prompt), initialFolder);
        box.setFileMode(QFileDialog::Directory);
        box.setOption(QFileDialog::ShowDirsOnly);
        return run(box) == QDialog::Accepted ? box.selectedFiles().value(0) : QString();
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

void cancelOpenDialogs()
{
    for (const QPointer<QDialog>& open : openDialogs)
        if (open)
            open->reject();
}

void setDialogOwner(QWidget* newOwner) { owner = newOwner; }

QWidget* dialogOwner() { return owner.data(); }

QString literalTitle(QString text)
{
    // Qt reads "[*]" in a title as the place of its modified mark and shows a doubled one as
    // one.
    return text.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}
