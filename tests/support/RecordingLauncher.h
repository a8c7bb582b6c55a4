#pragma once

// Records every program the code under test would start, and starts none. Installs itself
// for its lifetime, like ScriptedDialogs.

#include "platform/ProgramLauncher.h"

#include <vector>

class RecordingLauncher final : public ProgramLauncher {
public:
    struct Started {
        QString program;
        QStringList arguments;
    };

    RecordingLauncher() { setProgramLauncher(this); }
    ~RecordingLauncher() override { setProgramLauncher(nullptr); }
    RecordingLauncher(const RecordingLauncher&) = delete;
    RecordingLauncher& operator=(const RecordingLauncher&) = delete;

    // What startProgram answers (true: the program "started").
    void answer(bool started) { m_answer = started; }

    const std::vector<Started>& started() const { return m_started; }

    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        m_started.push_back({ program, arguments });
        return m_answer;
    }

private:
    bool m_answer = true;
    std::vector<Started> m_started;
};
