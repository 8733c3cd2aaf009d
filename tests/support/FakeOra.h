#pragma once
// A session component that passes every call on to the real one (over the
// local engine) and fails on demand where the engine cannot be made to:
// a session object that cannot be created, a close that fails, a delete
// that fails, a CREATE TABLE that the database accepts without creating
// the table. Installed for the life of the object.

#include "OraObjects.h"

#include <QString>

struct FaultPlan {
    bool failCreate = false;    // the session object cannot be created
    bool failClose = false;     // OraDatabase::Close raises
    bool failDelete = false;    // a DELETE statement raises
    bool ignoreCreate = false;  // a CREATE TABLE statement succeeds and does nothing
    int closeCalls = 0;
    int deleteCalls = 0;
};

class FaultyComponent {
public:
    FaultyComponent();
    ~FaultyComponent();
    FaultyComponent(const FaultyComponent&) = delete;
    FaultyComponent& operator=(const FaultyComponent&) = delete;

    FaultPlan plan;

    static QString createFailure() {
        return QStringLiteral("component missing: cannot create the object");
    }
    static QString closeFailure() { return QStringLiteral("connection lost while closing"); }
    static QString deleteFailure() {
        return QStringLiteral("ORA-03113: end-of-file on communication channel");
    }
};
