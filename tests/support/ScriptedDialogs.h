#pragma once

// Answers the program's modal questions from a script and records every one of them, so a
// test never waits on a dialog. A question without a scripted answer gets the cancelling
// answer (Cancel, No, nothing) and is recorded as unanswered.

#include "platform/Dialogs.h"
#include "platform/zbasErrorTrap.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class ScriptedDialogs final : public Dialogs {
public:
    enum class Kind { Message, Input, Folder, Open };
    struct Shown {
        Kind kind;
        QString text; // message text, input prompt, folder prompt or document
        QString title; // input title or initial folder
        QString defaultText;
        MsgButtons buttons = MsgButtons::OK;
        MsgIcon icon = MsgIcon::None;
        bool answered = false;
    };

    ScriptedDialogs() { setDialogs(this); }
    ~ScriptedDialogs() override { setDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void answerMessage(MsgAnswer answer) { m_messageAnswers.push_back(answer); }
    void answerInput(std::optional<QString> answer) { m_inputAnswers.push_back(std::move(answer)); }
    void answerFolder(const QString& folder) { m_folderAnswers.push_back(folder); }
    void answerOpen(bool opened) { m_openAnswers.push_back(opened); }
    // The next document handed over fails with a run-time error of this number and text.
    void failOpen(int number, const QString& description)
    {
        m_openFailure = { number, description };
    }

    // Runs while a message box or the folder dialog is open, before it is answered (for
    // example to change the files behind the viewer's back). text: the message or prompt.
    void whileOpen(std::function<void(const QString& text)> action)
    {
        m_whileOpen = std::move(action);
    }

    const std::vector<Shown>& shown() const { return m_shown; }
    int count(Kind kind) const
    {
        int n = 0;
        for (const Shown& s : m_shown)
            n += s.kind == kind ? 1 : 0;
        return n;
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const Shown& s : m_shown)
            if (s.kind == Kind::Message)
                texts << s.text;
        return texts;
    }
    void clear() { m_shown.clear(); }
    // True when every scripted answer was used.
    bool allAnswersUsed() const
    {
        return m_messageAnswers.empty() && m_inputAnswers.empty() && m_folderAnswers.empty()
            && m_openAnswers.empty();
    }

    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon) override
    {
        Shown s { Kind::Message, text, {}, {}, buttons, icon, !m_messageAnswers.empty() };
        m_shown.push_back(s);
        if (m_whileOpen)
            m_whileOpen(text);
        if (m_messageAnswers.empty())
            return buttons == MsgButtons::OK   ? MsgAnswer::OK
                : buttons == MsgButtons::YesNo ? MsgAnswer::No
                                               : MsgAnswer::Cancel;
        const MsgAnswer answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }

    std::optional<QString> inputBox(
        const QString& prompt, const QString& title, const QString& defaultText) override
    {
        m_shown.push_back({ Kind::Input, prompt, title, defaultText, MsgButtons::OKCancel,
            MsgIcon::None, !m_inputAnswers.empty() });
        if (m_inputAnswers.empty())
            return std::nullopt;
        auto answer = m_inputAnswers.front();
        m_inputAnswers.pop_front();
        return answer;
    }

    QString chooseFolder(const QString& prompt, const QString& initialFolder) override
    {
        m_shown.push_back({ Kind::Folder, prompt, initialFolder, {}, MsgButtons::OKCancel,
            MsgIcon::None, !m_folderAnswers.empty() });
        if (m_whileOpen)
            m_whileOpen(prompt);
        if (m_folderAnswers.empty())
            return {};
        QString answer = m_folderAnswers.front();
        m_folderAnswers.pop_front();
        return answer;
    }

    bool openDocument(const QString& target) override
    {
        m_shown.push_back(
            { Kind::Open, target, {}, {}, MsgButtons::OK, MsgIcon::None, !m_openAnswers.empty() });
        if (m_openFailure) {
            const auto [number, description] = *m_openFailure;
            m_openFailure.reset();
            zbasErrorTrap::Raise(number, description);
        }
        if (m_openAnswers.empty())
            return false;
        const bool opened = m_openAnswers.front();
        m_openAnswers.pop_front();
        return opened;
    }

private:
    std::deque<MsgAnswer> m_messageAnswers;
    std::deque<std::optional<QString>> m_inputAnswers;
    std::deque<QString> m_folderAnswers;
    std::deque<bool> m_openAnswers;
    std::optional<std::pair<int, QString>> m_openFailure;
    std::vector<Shown> m_shown;
    std::function<void(const QString&)> m_whileOpen;
};
