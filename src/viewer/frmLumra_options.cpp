// Putting the loaded options on the window.

#include "viewer/frmLumra.h"

#include "viewer/IntervalTimer.h"

#include <QAction>

using basOptions::CurrentOptions;

void frmLumra::ApplyOptions()
{
    mnuOptionsAutoAdvance->setChecked(CurrentOptions.AutoAdvance);
    mnuOptionsStayOnTop->setChecked(CurrentOptions.StayOnTop);
    mnuOptionsSorted->setChecked(CurrentOptions.Sorted);
    mnuOptionsReverse->setChecked(CurrentOptions.Reverse);
    mnuOptionsTransparent->setChecked(CurrentOptions.Transparent);
    if (!mnuOptionsSorted->isChecked())
        mnuOptionsReverse->setVisible(false);
    // Stay-on-top and transparency are put on the window by the window-style routines.
    if (CurrentOptions.AutoAdvanceSeconds != 2)
        tmrTimer->setInterval(CurrentOptions.AutoAdvanceSeconds * 1000);
}
