#include "platform/zbShellEx.h"

#include "platform/Dialogs.h"
#include "platform/ProgramLauncher.h"
#include "platform/Texts.h"
#include "platform/zbasErrorTrap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace zbShellEx {

using Texts::CRLF;

namespace {

const QString Blocklist = QStringLiteral(
    "|COMMAND.COM|MS-DOS|CMD.EXE|COMMAND PROMPT|DELTREE.EXE|FORMAT.COM|FORMAT.EXE|REPLACE.EXE|"
    "RESTORE.EXE|");
const QString NotAllowedMessage = QStringLiteral("Command is not allowed:");
const QString ErrorOpeningMessage = QStringLiteral("Error opening:");

// What the desktop's opener answers, in the terms callers know: above 32 when it took the
// document, 31 ("no application is associated") when it did not.
constexpr std::int32_t DesktopOpened = 42;
constexpr std::int32_t DesktopFailed = 31;

// Only spaces are trimmed, as the command's own tabs may belong to it.
QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// Starts the command when its first word names an executable file or a program on the
// search path; the rest are its arguments, split as the command line is, never by a shell.
bool startAsProgram(const QString& command)
{
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        return false;
    QString program = words.takeFirst();
    if (program.contains(QLatin1Char('/')) || program.contains(QDir::separator())) {
        const QFileInfo file(program);
        if (!file.isFile() || !file.isExecutable())
            return false;
    } else {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty())
            return false;
    }
    return programLauncher().startProgram(program, words);
}

} // namespace

FileAndParameters splitFileAndParameters(const QString& command)
{
    if (command.startsWith(QLatin1Char('"'))) {
        // p: where the closing quote stands in the text after the opening one, from 1.
        const qsizetype p = command.indexOf(QLatin1Char('"'), 1);
        if (p > 1)
            return { trimSpaces(command.mid(1, p - 1)), trimSpaces(command.mid(p + 1)) };
        return { command, {} };
    }
    const qsizetype s = command.indexOf(QLatin1Char(' '));
    if (s >= 0)
        return { trimSpaces(command.left(s)), trimSpaces(command.mid(s + 1)) };
    return { command, {} };
}

std::int32_t ShellEx(QString command)
{
    using namespace zbasErrorTrap;
    std::int32_t result = 0;
    try {
        command = trimSpaces(command);
        if (Blocklist.contains(QLatin1Char('|') + command.toUpper() + QLatin1Char('|'))) {
            dialogs().messageBox(
                NotAllowedMessage + CRLF + CRLF + command, MsgButtons::OK, MsgIcon::Exclamation);
            return 0;
        }

        bool started = false;
        try {
            started = startAsProgram(command);
        } catch (const std::exception&) {
            // A failed start only sends the command on to the desktop.
        }

        if (!started) {
            // The desktop's opener takes the document or address alone: the parameters split
            // off it have nowhere to go.
            command = splitFileAndParameters(command).file;
            result = dialogs().openDocument(command) ? DesktopOpened : DesktopFailed;
        }
    } catch (const std::exception&) {
        setErrFromCurrentException();
        dialogs().messageBox(ErrorOpeningMessage + CRLF + command + CRLF + CRLF
                + QStringLiteral("Error ") + QString::number(Err().Number) + QStringLiteral(" : ")
                + Err().Description,
            MsgButtons::OK, MsgIcon::Exclamation);
        return result;
    }
    QCoreApplication::processEvents();
    return result;
}

} // namespace zbShellEx
