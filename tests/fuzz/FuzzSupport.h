#pragma once

// What the fuzz targets share: a scratch folder of their own (on tmpfs when there is one),
// a Qt application without a display, dialogs that answer at once, a reader that takes the
// fuzzer's bytes apart, and the check that turns a broken property into a crash libFuzzer
// keeps.

#include "platform/Dialogs.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace fuzz {

[[noreturn]] inline void fail(std::string_view property, std::string_view detail = {})
{
    std::fprintf(stderr, "\n*** Property broken: %.*s\n", static_cast<int>(property.size()),
        property.data());
    if (!detail.empty())
        std::fprintf(stderr, "*** %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

inline void check(bool holds, std::string_view property, std::string_view detail = {})
{
    if (!holds)
        fail(property, detail);
}

// A folder that lives as long as the process. Removed at a normal exit; a crash leaves it
// behind for a look at what the input did.
inline const std::filesystem::path& scratchFolder()
{
    static const std::filesystem::path folder = [] {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error))
            base = std::filesystem::temp_directory_path();
        std::string name = (base / "lumra-fuzz-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            fail("a scratch folder can be made", name);
        return std::filesystem::path(name);
    }();
    static const bool removeAtExit = [] {
        return std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(scratchFolder(), error);
        }) == 0;
    }();
    (void)removeAtExit;
    return folder;
}

inline void makeFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    check(!error, "a scratch folder can be made", folder.string());
}

// Empties a folder without removing it.
inline void emptyFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        std::filesystem::remove_all(entry.path(), error);
}

// Some code under test reaches Qt's application object (the busy pointer of the error
// report, the image plugins). The offscreen platform needs no display.
inline void startApplication()
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's decoders warn about every broken picture; millions of lines would only slow the
    // run. A fatal message still ends it.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "lumra-fuzz";
    static char* argv[] = { name, nullptr };
    static QGuiApplication application(argc, argv);
}

// Answers every question at once: OK to a message, Cancel to the rest. Counts the messages.
class AnsweringDialogs final : public Dialogs {
public:
    AnsweringDialogs() { setDialogs(this); }
    ~AnsweringDialogs() override { setDialogs(nullptr); }
    AnsweringDialogs(const AnsweringDialogs&) = delete;
    AnsweringDialogs& operator=(const AnsweringDialogs&) = delete;

    MsgAnswer messageBox(const QString& text, MsgButtons, MsgIcon) override
    {
        ++m_messages;
        m_lastMessage = text;
        return MsgAnswer::OK;
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    bool openDocument(const QString&) override { return false; }

    int messages() const { return m_messages; }
    const QString& lastMessage() const { return m_lastMessage; }
    void reset()
    {
        m_messages = 0;
        m_lastMessage.clear();
    }

private:
    int m_messages = 0;
    QString m_lastMessage;
};

// Takes the fuzzer's bytes apart from the front. Past the end every byte reads as zero and
// every text as empty, so any input decodes to something.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool empty() const { return m_at >= m_size; }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }

    // A text of up to maxLength bytes, its length given by the byte in front of it.
    std::string text(std::size_t maxLength = 255)
    {
        const std::size_t length
            = std::min<std::size_t>(byte() % (maxLength + 1), m_size - std::min(m_at, m_size));
        std::string result(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return result;
    }

    std::string rest()
    {
        std::string result;
        if (!empty())
            result.assign(reinterpret_cast<const char*>(m_data + m_at), m_size - m_at);
        m_at = m_size;
        return result;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace fuzz
