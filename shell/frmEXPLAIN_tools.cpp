// Text tools and schema browser commands of the main window.
#include "frmEXPLAIN.h"

void frmEXPLAIN::mnuStrken_Click() {}
void frmEXPLAIN::mnuStrkenD_Click() {}
void frmEXPLAIN::mnuMainkey_Click() {}
void frmEXPLAIN::mnuCBSI_Click() {}
void frmEXPLAIN::mnuCBSC_Click() {}
void frmEXPLAIN::mnuCBPC_Click() {}
