// Connection, plan table and analysis commands of the main window.
#include "frmEXPLAIN.h"

void frmEXPLAIN::mnuDBLogIn_Click() {}
void frmEXPLAIN::mnuCut_Click() {}
void frmEXPLAIN::mnuPCreate_Click() {}
void frmEXPLAIN::mnuPDrop_Click() {}
void frmEXPLAIN::cmdEXPAIN_Click() {}
void frmEXPLAIN::mnuPractice_Click() { cmdEXPAIN_Click(); }
qint32 frmEXPLAIN::PlanTblCheck() { return 0; }
void frmEXPLAIN::PlanTblCreate() {}
void frmEXPLAIN::PlanTblDrop() {}
void frmEXPLAIN::PlanTblDeleteRows() {}
void frmEXPLAIN::PlanTblCleanup(const QString&) {}
QString frmEXPLAIN::getMyIPAddress() { return QStringLiteral("999.999.999.999"); }
