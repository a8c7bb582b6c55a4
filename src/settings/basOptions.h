#pragma once

// The viewer's eleven options: held in memory while it runs, loaded from the per-user store
// when the viewer window loads and saved when it closes. A value is written only when it
// differs from what is stored or, when nothing is, from its default, so a user who never
// changes an option leaves nothing behind.

#include "settings/CReg.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace basOptions {

// One field per option, named after its value in the store, in the order they are loaded
// and saved.
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

// The one store access the options use; made by the first GetOptions.
extern std::unique_ptr<CReg> OptionStore;

// The program's key in the per-user store.
extern const QString ProgramKey;

// The shell's key that holds the user's picture folder ("My Pictures"), the default folder.
extern const QString ShellFoldersKey;

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

// Takes the window's place and size as the defaults of the four window options. The
// window's start-up placement is only complete once the window manager has framed it.
void TakeWindowDefaults();

// The defaults the options table gives as text; those read when the options load (the
// window's place, the picture folder) stay zero and empty here.
OptionSet TextDefaults();

// Loads every option into CurrentOptions; DefaultOptions gets the defaults.
void GetOptions();
// Saves every option from CurrentOptions and the window.
void SetOptions();

// The stored text of an option ("Sub\Name" for a value of a subkey), or default.
QString GetOption(QString key, QString defaultText);
// Writes value under key unless it equals what is stored or, when nothing is, the default.
void SetOption(QString key, QString value, QString defaultText);

// The user's picture folder as the shell records it, or empty text.
QString GetMyPicturesFolder();

} // namespace basOptions
