// The window-style commands, the help file, the maker's web site and the About box.

#include "viewer/frmLumra.h"

#include "about/frmAbout.h"
#include "platform/Site.h"
#include "platform/basTopMost.h"
#include "platform/zbShellEx.h"
#include "platform/zbTransparency.h"
#include "platform/zbasErrorTrap.h"
#include "viewer/basGeneral.h"

#include <QAction>

using basOptions::CurrentOptions;
using zbasErrorTrap::Handler;

namespace {

// Where the help file may stand, in the order tried, below the program's folder.
const char* const HelpCandidates[]
    = { "Lumra.chm", "Lumra.htm", "Help/Lumra.chm", "Help/Lumra.htm" };

// A candidate below the program's folder, with the system's separator.
std::string helpPath(const char* candidate)
{
    std::string path = basGeneral::AppFolder + candidate;
    for (char& c : path)
        if (c == '/')
            c = basGeneral::Separator().back();
    return path;
}

} // namespace

void frmLumra::mnuOptionsStayOnTop_Click()
{
    basTopMost::SetTopMost(this, flipOption(mnuOptionsStayOnTop));
}

void frmLumra::mnuOptionsTransparent_Click()
{
    zbTransparency::SetTransparency(this,
        flipOption(mnuOptionsTransparent) ? zbTransparency::TransparentAlpha
                                          : zbTransparency::OpaqueAlpha);
}

void frmLumra::mnuHelp_Click()
{
    auto ignore = Handler::silent();
    for (const char* candidate : HelpCandidates) {
        bool found = false;
        std::string path;
        ignore([&] {
            path = helpPath(candidate);
            found = basGeneral::PathExists(path);
        });
        if (found) {
            // Quoted, so that a program folder with a space in its path is still one file.
            ignore([&] {
                zbShellEx::ShellEx(
                    QLatin1Char('"') + QString::fromLocal8Bit(path) + QLatin1Char('"'));
            });
            return;
        }
    }
}

void frmLumra::mnuVisitWebsite_Click() { zbShellEx::ShellEx(Site::address()); }

void frmLumra::mnuMorvanell_Click()
{
    auto ignore = Handler::silent();
    frmAbout* box = nullptr;
    ignore([&] {
        for (frmAbout* open : findChildren<frmAbout*>(QString(), Qt::FindDirectChildrenOnly))
            if (!open->isUnloaded())
                box = open;
    });
    if (!box)
        ignore([&] { box = new frmAbout(this); });
    if (!box)
        return;
    ignore([&] { box->show(); });
    ignore([&] { box->raise(); });
    ignore([&] { box->activateWindow(); });
}
