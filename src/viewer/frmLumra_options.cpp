// Putting the loaded options on the window.

#include "viewer/frmLumra.h"

#include "platform/basTopMost.h"
#include "platform/zbTransparency.h"
#include "viewer/IntervalTimer.h"

#include <QAction>

using basOptions::CurrentOptions;

void frmLumra::ApplyOptions()
{
    showOptionMarks();
    if (!mnuOptionsSorted->isChecked())
        mnuOptionsReverse->setVisible(false);
    if (CurrentOptions.StayOnTop)
        basTopMost::SetTopMost(this, true);
    if (CurrentOptions.Transparent)
        zbTransparency::SetTransparency(this, zbTransparency::TransparentAlpha);
    tmrTimer->setInterval(CurrentOptions.AutoAdvanceSeconds * 1000);
}
