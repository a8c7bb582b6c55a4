// Start-up of the viewer window: the command line, the first picture list and the folder
// prompt.

#include "viewer/frmLumra.h"

#include "platform/Dialogs.h"
#include "platform/Texts.h"
#include "platform/zbasBrowseForFolder.h"
#include "platform/zbasErrorTrap.h"
#include "system/System.h"
#include "viewer/CommandLine.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"
#include "viewer/basFindFile.h"
#include "viewer/basGeneral.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

using namespace basGeneral;
using basOptions::CurrentOptions;
using Texts::CRLF;
using zbasErrorTrap::Handler;

namespace {

const QString InvalidArgumentMessage = QStringLiteral("Invalid Folder or File Name:");
const QString NoPicturesMessage
    = QStringLiteral("No supported Image Files were found in the selected folder.");
const QString FolderPrompt
    = QStringLiteral("Please select the folder containing the Image Files to view.");

QString displayText(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }
std::string pathBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

// The folder part of a file path, with its separator, and the name after it.
std::pair<std::string, std::string> splitFolder(const std::string& path)
{
    const std::size_t cut = path.rfind(Separator().back());
    if (cut == std::string::npos)
        return { "." + Separator(), path };
    return { path.substr(0, cut + 1), path.substr(cut + 1) };
}

} // namespace

void frmLumra::Form_Load()
{
    auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("Lumra"));
    // A step runs only while the window stands: once an end request (or Cancel in a report)
    // has closed it, start-up stops where it is.
    const auto step = [&](auto&& action) { return !m_unloaded && !m_ended && onError(action); };
    const auto askForFolder = [&] {
        FolderOutcome outcome = FolderOutcome::Kept;
        step([&] { outcome = AskForFolder(); });
        return m_unloaded ? FolderOutcome::Ended : outcome;
    };
    step([&] { placeAtBottomRight(); });
    step([&] { mnuFile->menuAction()->setVisible(false); });
    step([&] { AppFolder = ProgramFolder(); });
    step([&] { appendKeyNames(); });
    step([&] { basOptions::GetOptions(); });
    step([&] { ApplyOptions(); });
    step([&] { ParseCommandLine(); });

    // The first picture list.
    std::string lonePicture;
    if (!m_folderArgs.empty()) {
        step([&] { lonePicture = addArgumentPictures(); });
    } else if (!CurrentOptions.Folder.isEmpty()) {
        step([&] { AddFolderPictures(pathBytes(CurrentOptions.Folder)); });
    } else {
        if (askForFolder() == FolderOutcome::Ended)
            return;
        // The prompt showed the first picture in search order; start-up sorts the list
        // below and then starts on the first entry of the sorted list instead.
        m_currentIndex = 0;
    }

    bool keepSearchOrder = false;
    bool promptShowedPicture = false;
    if (PictureCount() == 0) {
        // A current directory that cannot be read (it was deleted) adds nothing.
        step([&] {
            const std::string current = sys::currentDirectory();
            if (!current.empty())
                AddFolderPictures(current);
        });
        if (PictureCount() == 0) {
            step([&] {
                dialogs().messageBox(NoPicturesMessage, MsgButtons::OK, MsgIcon::Exclamation);
            });
            if (askForFolder() == FolderOutcome::Ended)
                return;
            promptShowedPicture = m_currentIndex > 0;
            keepSearchOrder = true;
        }
    }
    if (!keepSearchOrder && PictureCount() > 0) {
        step([&] { SortStrings(PicturePaths, true); });
        step([&] { Form_Resize(); });
    }

    // Start on the picture: the one file named on the command line, or the first.
    if (PictureCount() > 0 && !promptShowedPicture) {
        const std::int32_t startIndex = entryIndex(lonePicture);
        if (startIndex > 0)
            step([&] { showEntry(startIndex); });
        else
            step([&] { MovePic(Moves::Next); });
    }
    step([&] { tmrTimer->setEnabled(CurrentOptions.AutoAdvance); });
}

frmLumra::FolderOutcome frmLumra::AskForFolder()
{
    tmrTimer->setEnabled(false);
    QCoreApplication::processEvents();
    // An end request while events ran, or while the prompt was open, has closed the window:
    // no prompt then, or its answer is not taken.
    const QString answer = m_unloaded
        ? QString()
        : zbasBrowseForFolder::BrowseForFolder(CurrentOptions.Folder, FolderPrompt);
    QCoreApplication::processEvents();
    if (m_unloaded)
        return FolderOutcome::Ended;
    FolderOutcome outcome = FolderOutcome::Kept;
    if (!answer.isEmpty()) {
        CurrentOptions.Folder = answer;
        m_folderArgs.clear();
        clearPictureList();
        AddFolderPictures(pathBytes(CurrentOptions.Folder));
        MovePic(Moves::Next);
        outcome = FolderOutcome::Chosen;
    } else if (CurrentOptions.Folder.isEmpty()) {
        endProgram();
        return FolderOutcome::Ended;
    }
    tmrTimer->setEnabled(CurrentOptions.AutoAdvance);
    return outcome;
}

void frmLumra::mnuOptionsSelectFolder_Click() { AskForFolder(); }

void frmLumra::clearPictureList()
{
    PicturePaths.clear();
    m_currentIndex = 0;
    m_prefetch.drop();
}

void frmLumra::ParseCommandLine()
{
    // Once an end request has closed the window, no further item is reported.
    for (std::string& argument :
        CommandLine::arguments(m_commandLine, [this](const std::string& item) {
            if (!m_unloaded)
                dialogs().messageBox(InvalidArgumentMessage + CRLF + CRLF + displayText(item),
                    MsgButtons::OK, MsgIcon::Information);
        }))
        m_folderArgs.push_back(std::move(argument));
}

void frmLumra::AddFolderPictures(std::string folder)
{
    // One listing of the folder, keeping only names of pictures, serves all five patterns.
    basFindFile::FindPictureFiles(std::move(folder));
}

std::string frmLumra::addArgumentPictures()
{
    // A folder adds its pictures. A picture file adds itself, or, when it is the whole
    // command line, its folder, so the user can walk the folder from that picture: its
    // entry is returned, for start-up to start on.
    if (m_folderArgs.size() == 1 && !FolderExists(m_folderArgs.front())
        && basFindFile::IsPictureName(m_folderArgs.front())) {
        const auto [folder, name] = splitFolder(m_folderArgs.front());
        AddFolderPictures(folder);
        // A folder that cannot be listed still leaves the file itself to show.
        if (PictureCount() == 0 && PathExists(folder + name))
            AddFile(folder + name);
        return folder + name;
    }
    for (const std::string& argument : m_folderArgs) {
        if (FolderExists(argument))
            AddFolderPictures(argument);
        else if (basFindFile::IsPictureName(argument))
            AddFile(argument);
    }
    return {};
}

std::int32_t frmLumra::entryIndex(const std::string& entry) const
{
    if (entry.empty())
        return 0;
    for (std::int32_t index = 1; index <= PictureCount(); ++index)
        if (PicturePaths.at(index) == entry)
            return index;
    return 0;
}
