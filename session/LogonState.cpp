#include "LogonState.h"

namespace basEXPLAIN {

std::shared_ptr<oraobj::OraDatabase> OraDB;
std::shared_ptr<oraobj::OraSession> OraSes;
qint16 LogonOK = False;
QString LogonUser;
QString LogonHost;

void reset() {
    OraDB.reset();
    OraSes.reset();
    LogonOK = False;
    LogonUser.clear();
    LogonHost.clear();
}

}  // namespace basEXPLAIN
