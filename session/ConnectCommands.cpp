#include "ConnectCommands.h"

#include "FailureText.h"
#include "LogonState.h"

namespace ConnectCommands {

void connect(Window& w) {
    using namespace basEXPLAIN;
    w.runLogonDialog();
    if (LogonOK != True)
        return;

    w.setMenusConnected(true);
    w.setConnected(True);
    w.setPanel(1, kPanelConnected);
    w.setPanel(4, LogonUser + QStringLiteral(" / ") + LogonHost);

    qint32 n = 0;
    try {
        n = w.checkPlanTable();
    } catch (...) {
        // The connection stays; without a check the table counts as absent,
        // and nothing is offered on a database that cannot be asked.
        w.reportSqlError(oraobj::failureText(std::current_exception()));
        w.showPlanTable(false);
        w.setPlanTableState(PlanTable::AbsentHere);
        return;
    }
    w.setPlanTableState(PlanTable::FoundAtConnect);
    if (n != 0) {
        w.showPlanTable(true);
        return;
    }
    if (w.askCreatePlanTable()) {
        const bool present = w.createPlanTable();
        w.setPlanTableState(present ? PlanTable::CreatedHere : PlanTable::AbsentHere);
        w.showPlanTable(present);
    } else {
        w.showPlanTable(false);
        w.setPlanTableState(PlanTable::AbsentHere);
    }
}

void disconnect(Window& w) {
    using namespace basEXPLAIN;
    w.tidyPlanTable();

    if (OraDB) {
        try {
            OraDB->Close();
            OraDB.reset();
        } catch (...) {
            w.reportCloseFailed();
            return;
        }
    }
    if (!OraDB) {
        w.setMenusConnected(false);
        w.setConnected(False);
        w.setPanel(1, kPanelDisconnected);
        w.setPanel(2, QString());
        w.setPanel(4, QString());
        LogonOK = False;
    }
}

}  // namespace ConnectCommands
