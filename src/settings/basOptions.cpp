#include "settings/basOptions.h"

#include <cmath>

// The in-memory options with their defaults. Reading them from and writing them to the
// per-user store comes with the settings store.

namespace basOptions {

OptionSet CurrentOptions;
OptionSet DefaultOptions;

namespace {
const OptionsWindow* optionsWindow = nullptr;

std::int32_t wholeTwips(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

void SetOptionDefaults()
{
    if (optionsWindow) {
        DefaultOptions.WindowLeft = wholeTwips(optionsWindow->leftTwips());
        DefaultOptions.WindowTop = wholeTwips(optionsWindow->topTwips());
        DefaultOptions.WindowWidth = wholeTwips(optionsWindow->widthTwips());
        DefaultOptions.WindowHeight = wholeTwips(optionsWindow->heightTwips());
    }
    DefaultOptions.Folder.clear();
    DefaultOptions.Sorted = true;
    DefaultOptions.Reverse = false;
    DefaultOptions.StayOnTop = true;
    DefaultOptions.Transparent = false;
    DefaultOptions.AutoAdvance = true;
    DefaultOptions.AutoAdvanceSeconds = 2;
}
} // namespace

void setOptionsWindow(const OptionsWindow* window) { optionsWindow = window; }

void GetOptions()
{
    SetOptionDefaults();
    CurrentOptions = DefaultOptions;
}

void SetOptions() { }

} // namespace basOptions
