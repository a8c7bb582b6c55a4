// The keyboard, the mouse and the popup menu.

#include "viewer/frmLumra.h"

#include <QMenu>

void frmLumra::ShowPopupMenu() { }
