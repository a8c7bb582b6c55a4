#pragma once

// What the fuzz targets share: a scratch folder private to the process, a private user
// profile and a Qt application without a display, and a reader of the fuzzer's bytes.

#include <QGuiApplication>
#include <QTemporaryDir>
#include <filesystem>

namespace fuzz {

namespace fs = std::filesystem;

// A broken property aborts, so that libFuzzer keeps the input.
inline void check(bool holds, const char* property, const std::string& detail = {})
{
    if (!holds)
        qFatal("\n*** Property broken: %s\n*** %s", property, detail.c_str());
}

// On tmpfs when there is one. Removed at a normal exit; a crash leaves it for a look.
inline fs::path scratchFolder()
{
    static const QTemporaryDir folder(QString::fromStdString(
        (fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string())
        + "/lumra-fuzz-XXXXXX"));
    check(folder.isValid(), "a scratch folder can be made");
    return folder.path().toStdString();
}

// The user's and the machine's settings three levels down in the scratch folder, so that a
// path climbing out of them by one level or by several leaves something where it shows.
inline const fs::path outer = scratchFolder() / "w1/w2/w3", home = outer / "home";
inline const fs::path config = home / ".config", machine = outer / "machine";

// Returns 0, for LLVMFuzzerInitialize to return.
inline int startApplication()
{
    fs::create_directories(config / "Morvanell");
    fs::create_directories(machine);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", machine.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's decoders warn about every broken picture; millions of lines would only slow the run.
    ::setenv("QT_LOGGING_RULES", "*=false", 1);
    static int argc = 1;
    static char* argv[] = { const_cast<char*>("lumra-fuzz"), nullptr };
    static QGuiApplication application(argc, argv);
    return 0;
}

// Takes the bytes from the front; past the end every byte reads as zero and every text as
// empty, so that any input decodes.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    std::string take(std::size_t length)
    {
        length = std::min(length, size);
        size -= length;
        return { reinterpret_cast<const char*>(std::exchange(data, data + length)), length };
    }
    std::uint8_t byte() { return size ? std::uint8_t(take(1)[0]) : 0; }
    // Up to maxLength bytes, as many as the byte in front of them says.
    std::string text(std::size_t maxLength = 255) { return take(byte() % (maxLength + 1)); }
};

} // namespace fuzz
