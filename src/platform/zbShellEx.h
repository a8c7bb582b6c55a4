#pragma once

// Opens a command, a document or a web address for the user: the help file and the
// maker's web site.

#include <QString>
#include <cstdint>

namespace zbShellEx {

// Refuses a few system programs, then starts the command as a program when it names one,
// and otherwise hands it to the desktop. Reports its own failures and never passes one on.
// 0 when refused, started as a program or after a reported failure; otherwise above 32
// when the desktop opened it and 32 or less when it could not.
std::int32_t ShellEx(QString command);

// The file and the parameters the desktop is given for a command that did not start as a
// program: a quoted file is cut at its closing quote, an unquoted one at its first space.
struct FileAndParameters {
    QString file;
    QString parameters;
};
FileAndParameters splitFileAndParameters(const QString& command);

} // namespace zbShellEx
