// The window-style commands, the help file, the maker's web site and the About box.

#include "viewer/frmLumra.h"

void frmLumra::mnuOptionsStayOnTop_Click() { }
void frmLumra::mnuOptionsTransparent_Click() { }
void frmLumra::mnuHelp_Click() { }
void frmLumra::mnuVisitWebsite_Click() { }
void frmLumra::mnuMorvanell_Click() { }
