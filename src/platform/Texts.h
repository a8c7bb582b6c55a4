#pragma once

// Texts the program writes in more than one place.

#include "system/ProgramVersion.h"

#include <QString>

namespace Texts {

// The program's name: the application's, the message boxes' title and the About box's.
inline const QString ProgramName = QStringLiteral("Lumra");

// The line break inside the texts the program shows and keeps.
inline const QString CRLF = QStringLiteral("\r\n");

// The version as the About box, --version and the application object give it: "1.0". On
// Windows it is the one the program file records.
inline QString version() { return QString::fromStdString(sys::programVersion()); }

} // namespace Texts
