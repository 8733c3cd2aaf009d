#pragma once
// Program-wide state of a logon: the open database, the session of the
// latest attempt, and the logon dialog's results. The password is never
// stored here or anywhere else.

#include "OraObjects.h"

#include <QString>
#include <memory>

namespace basEXPLAIN {

inline constexpr qint16 True = -1;
inline constexpr qint16 False = 0;

// The open database; empty means disconnected. Set only by a successful
// logon, closed and cleared by the disconnect.
extern std::shared_ptr<oraobj::OraDatabase> OraDB;
// The session object of the latest logon attempt.
extern std::shared_ptr<oraobj::OraSession> OraSes;
extern qint16 LogonOK;
extern QString LogonUser;
extern QString LogonHost;

// Back to the state at program start (for tests).
void reset();

}  // namespace basEXPLAIN
