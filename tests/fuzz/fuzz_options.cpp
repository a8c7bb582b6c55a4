// The options loaded from a store of any bytes: AutoAdvanceSeconds stays within 0 to 60,
// and what loads, saved and loaded again, is unchanged. How each stored text loads is
// tst_options' business.

#include "FuzzSupport.h"
#include "platform/Dialogs.h"
#include "settings/basOptions.h"

#include <fstream>

using namespace basOptions;

static const std::string store = fuzz::config / "Morvanell/Lumra.conf";
static auto fields(const OptionSet& o)
{
    return std::tuple(o.WindowLeft, o.WindowTop, o.WindowWidth, o.WindowHeight, o.Folder, o.Sorted,
        o.Reverse, o.StayOnTop, o.Transparent, o.AutoAdvance, o.AutoAdvanceSeconds);
}

// Reports are answered at once.
struct AnsweringDialogs final : Dialogs {
    using Text = const QString&;
    MsgAnswer messageBox(Text, MsgButtons, MsgIcon) override { return MsgAnswer::OK; }
    std::optional<QString> inputBox(Text, Text, Text) override { return {}; }
    QString chooseFolder(Text, Text) override { return {}; }
    bool openDocument(Text) override { return false; }
} answering;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setDialogs(&answering);
    return fuzz::startApplication();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(store, std::ios::binary) << fuzz::Bytes { data, size }.take(size);
    // Qt takes a store of the size and time it read before for unchanged.
    static int second = 0;
    fuzz::fs::last_write_time(store, fuzz::fs::file_time_type(std::chrono::seconds(++second)));

    // A text that does not convert leaves its field as it was.
    CurrentOptions = { .AutoAdvanceSeconds = 77 };
    GetOptions();
    fuzz::check(CurrentOptions.AutoAdvanceSeconds >= 0 && CurrentOptions.AutoAdvanceSeconds <= 60,
        "AutoAdvanceSeconds within 0 to 60");
    const auto loaded = fields(CurrentOptions);
    SetOptions();
    GetOptions();
    fuzz::check(fields(CurrentOptions) == loaded, "the options saved load back unchanged");
    return 0;
}
