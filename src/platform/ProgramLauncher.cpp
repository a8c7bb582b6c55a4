#include "platform/ProgramLauncher.h"

#include <QProcess>

namespace {

class QtProgramLauncher final : public ProgramLauncher {
public:
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
};

QtProgramLauncher& qtLauncher()
{
    static QtProgramLauncher instance;
    return instance;
}

ProgramLauncher* installed = nullptr;

} // namespace

ProgramLauncher& programLauncher() { return installed ? *installed : qtLauncher(); }

void setProgramLauncher(ProgramLauncher* replacement) { installed = replacement; }
