#pragma once
// The session component on the embedded engine.

#include "OraObjects.h"

namespace oraobj {

// Opens the engine's database named by `host` (empty: the sample database)
// for `user` as the schema owner. The engine has no accounts, so no password
// is asked for. Raises OraError with the engine's message and code.
std::shared_ptr<OraDatabase> openLocalDatabase(const QString& host, const QString& user);

}  // namespace oraobj
