#include "ConnectCommands.h"

#include "basEXPLAIN.h"

namespace ConnectCommands {
namespace {

constexpr qint16 kStateFound = 0;
constexpr qint16 kStateCreated = 1;
constexpr qint16 kStateAbsent = 4;

}  // namespace

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
    } catch (const std::exception& e) {
        // The connection stays; without a check the table counts as absent,
        // and nothing is offered on a database that cannot be asked.
        w.reportSqlError(e);
        w.showPlanTable(false);
        w.setPlanTableState(kStateAbsent);
        return;
    }
    w.setPlanTableState(kStateFound);
    if (n != 0) {
        w.showPlanTable(true);
        return;
    }
    if (w.askCreatePlanTable()) {
        const bool present = w.createPlanTable();
        w.setPlanTableState(present ? kStateCreated : kStateAbsent);
        w.showPlanTable(present);
    } else {
        w.showPlanTable(false);
        w.setPlanTableState(kStateAbsent);
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
