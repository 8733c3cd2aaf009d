#pragma once
// An SQLite VFS for tests that passes everything to the default one, except
// that writes to database and journal files fail as on a full disk once a
// given number of them has been let through. While installed it is the
// process's default VFS, so the engine opens its files through it unchanged.

#include <sqlite3.h>

class FailingVfs {
public:
    FailingVfs();   // installs it as the default VFS, with no limit
    ~FailingVfs();  // gives the default back to the VFS it wrapped
    FailingVfs(const FailingVfs&) = delete;
    FailingVfs& operator=(const FailingVfs&) = delete;

    // From now on, `writes` more writes succeed and every later one fails
    // with SQLITE_FULL. Negative: no limit.
    void failWritesAfter(int writes);
    // Writes let through, and writes that failed, since the limit was set.
    int writes() const;
    int failedWrites() const;
};
