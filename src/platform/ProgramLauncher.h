#pragma once

// Starting another program. The program uses the Qt implementation; tests install one that
// records instead of starting anything.

#include <QString>
#include <QStringList>

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    // Starts program with its arguments as a process of its own: no shell reads the
    // arguments, and the caller does not wait for it. False when it could not be started.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

// The launcher in use: the Qt one unless another was installed.
ProgramLauncher& programLauncher();

// Installs a launcher (not owned; nullptr restores the Qt one).
void setProgramLauncher(ProgramLauncher* replacement);
