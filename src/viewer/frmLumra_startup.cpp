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

// Thrown when the program ends at the folder prompt: it unwinds whatever routine was
// running without running any close path.
struct ProgramEnded { };

const QString InvalidArgumentMessage = QStringLiteral("Invalid Folder or File Name:");
const QString NoPicturesMessage
    = QStringLiteral("No supported Image Files were found in the selected folder.");
const QString FolderPrompt
    = QStringLiteral("Please select the folder containing the Image Files to view.");

QString displayText(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }
std::string pathBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

bool isPictureName(const std::string& path)
{
    for (const std::string& pattern : basFindFile::PicturePatterns())
        if (basFindFile::MatchesPattern(path, pattern))
            return true;
    return false;
}

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
    bool promptShowedPicture = false;
    try {
        onError([&] { placeAtBottomRight(); });
        onError([&] { mnuFile->menuAction()->setVisible(false); });
        onError([&] { AppFolder = ProgramFolder(); });
        onError([&] { appendKeyNames(); });
        onError([&] { basOptions::GetOptions(); });
        onError([&] { ApplyOptions(); });
        onError([&] { ParseCommandLine(); });

        // The first picture list.
        if (!m_folderArgs.empty()) {
            onError([&] { addArgumentPictures(); });
        } else if (!CurrentOptions.Folder.isEmpty()) {
            onError([&] { AddFolderPictures(pathBytes(CurrentOptions.Folder)); });
        } else {
            onError([&] { AskForFolder(); });
            // The prompt showed the first picture in search order; start-up sorts the list
            // below and then starts on the first entry of the sorted list instead.
            m_currentIndex = 0;
        }

        bool keepSearchOrder = false;
        if (PictureCount() == 0) {
            // A current directory that cannot be read (it was deleted) adds nothing.
            onError([&] {
                const std::string current = sys::currentDirectory();
                if (!current.empty())
                    AddFolderPictures(current);
            });
            if (PictureCount() == 0) {
                onError([&] {
                    dialogs().messageBox(NoPicturesMessage, MsgButtons::OK, MsgIcon::Exclamation);
                });
                onError([&] { AskForFolder(); });
                promptShowedPicture = m_currentIndex > 0;
                keepSearchOrder = true;
            }
        }
        if (!keepSearchOrder && PictureCount() > 0) {
            onError([&] { SortStrings(PicturePaths, true); });
            onError([&] { Form_Resize(); });
        }

        // Start on the picture: the one file named on the command line, or the first.
        if (PictureCount() > 0 && !promptShowedPicture) {
            const std::int32_t startIndex = startFileIndex();
            if (startIndex > 0)
                onError([&] { showEntry(startIndex); });
            else
                onError([&] { MovePic(Moves::Next); });
        }
        onError([&] { tmrTimer->setEnabled(CurrentOptions.AutoAdvance); });
    } catch (const ProgramEnded&) {
        // Nothing more to do: the program ends without saving.
    }
}

void frmLumra::AskForFolder()
{
    tmrTimer->setEnabled(false);
    QCoreApplication::processEvents();
    const QString answer
        = zbasBrowseForFolder::BrowseForFolder(CurrentOptions.Folder, FolderPrompt);
    QCoreApplication::processEvents();
    if (!answer.isEmpty()) {
        CurrentOptions.Folder = answer;
        m_folderArgs.clear();
        clearPictureList();
        AddFolderPictures(pathBytes(CurrentOptions.Folder));
        MovePic(Moves::Next);
    } else if (CurrentOptions.Folder.isEmpty()) {
        endProgram();
        throw ProgramEnded {};
    }
    tmrTimer->setEnabled(CurrentOptions.AutoAdvance);
}

void frmLumra::mnuOptionsSelectFolder_Click()
{
    try {
        AskForFolder();
    } catch (const ProgramEnded&) {
        // The prompt was cancelled with no folder known: the program has ended.
    }
}

void frmLumra::clearPictureList()
{
    PicturePaths.clear();
    m_currentIndex = 0;
    m_prefetch.drop();
}

void frmLumra::ParseCommandLine()
{
    for (std::string& argument : CommandLine::arguments(m_commandLine, [](const std::string& item) {
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

void frmLumra::addArgumentPictures()
{
    // A folder adds its pictures. A picture file adds itself, or, when it is the whole
    // command line, its folder, so the user can walk the folder from that picture.
    if (m_folderArgs.size() == 1 && !FolderExists(m_folderArgs.front())
        && isPictureName(m_folderArgs.front())) {
        const auto [folder, name] = splitFolder(m_folderArgs.front());
        AddFolderPictures(folder);
        // A folder that cannot be listed still leaves the file itself to show.
        if (PictureCount() == 0 && PathExists(folder + name))
            AddFile(folder + name);
        return;
    }
    for (const std::string& argument : m_folderArgs) {
        if (FolderExists(argument))
            AddFolderPictures(argument);
        else if (isPictureName(argument))
            AddFile(argument);
    }
}

std::int32_t frmLumra::startFileIndex() const
{
    if (m_folderArgs.size() != 1 || FolderExists(m_folderArgs.front())
        || !isPictureName(m_folderArgs.front()))
        return 0;
    const auto [folder, name] = splitFolder(m_folderArgs.front());
    const std::string entry = folder + name;
    for (std::int32_t index = 1; index <= PictureCount(); ++index)
        if (PicturePaths.at(index) == entry)
            return index;
    return 0;
}
