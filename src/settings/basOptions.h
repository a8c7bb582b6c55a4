#pragma once

// The viewer's eleven options: held in memory while it runs, loaded when the viewer window
// loads and saved when it closes.

#include <QString>
#include <cstdint>

namespace basOptions {

struct OptionSet {
    std::int32_t WindowLeft = 0;
    std::int32_t WindowTop = 0;
    std::int32_t WindowWidth = 0;
    std::int32_t WindowHeight = 0;
    QString Folder;
    bool Sorted = false;
    bool Reverse = false;
    bool StayOnTop = false;
    bool Transparent = false;
    bool AutoAdvance = false;
    std::int32_t AutoAdvanceSeconds = 0;
};

extern OptionSet CurrentOptions;
extern OptionSet DefaultOptions;

// What the options read from the viewer window: its place and size in twips and the
// slide-show timer's interval in milliseconds.
class OptionsWindow {
public:
    virtual double leftTwips() const = 0;
    virtual double topTwips() const = 0;
    virtual double widthTwips() const = 0;
    virtual double heightTwips() const = 0;
    virtual int timerInterval() const = 0;

protected:
    ~OptionsWindow() = default;
};

// The window the options are read from and saved for (not owned; may be null).
void setOptionsWindow(const OptionsWindow* window);

void GetOptions();
void SetOptions();

} // namespace basOptions
