#include "FailingVfs.h"

#include <atomic>
#include <cstring>

namespace {

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs{};
sqlite3_io_methods g_methods{};
std::atomic<int> g_writesLeft{-1};
std::atomic<int> g_done{0};
std::atomic<int> g_failed{0};

// The file as SQLite sees it: our methods first, the real file behind.
struct File {
    sqlite3_file base;
    bool limited;  // a database or journal file, whose writes may fail
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

File* file(sqlite3_file* f) {
    return reinterpret_cast<File*>(f);
}

int xClose(sqlite3_file* f) {
    const int rc = file(f)->real()->pMethods->xClose(file(f)->real());
    f->pMethods = nullptr;
    return rc;
}
int xRead(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
    return file(f)->real()->pMethods->xRead(file(f)->real(), out, amount, offset);
}
int xWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    if (file(f)->limited) {
        int left = g_writesLeft.load();
        while (left >= 0) {
            if (left == 0) {
                ++g_failed;
                return SQLITE_FULL;
            }
            if (g_writesLeft.compare_exchange_weak(left, left - 1))
                break;
        }
        ++g_done;
    }
    return file(f)->real()->pMethods->xWrite(file(f)->real(), data, amount, offset);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return file(f)->real()->pMethods->xTruncate(file(f)->real(), size);
}
int xSync(sqlite3_file* f, int flags) {
    return file(f)->real()->pMethods->xSync(file(f)->real(), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return file(f)->real()->pMethods->xFileSize(file(f)->real(), size);
}
int xLock(sqlite3_file* f, int level) {
    return file(f)->real()->pMethods->xLock(file(f)->real(), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return file(f)->real()->pMethods->xUnlock(file(f)->real(), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return file(f)->real()->pMethods->xCheckReservedLock(file(f)->real(), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return file(f)->real()->pMethods->xFileControl(file(f)->real(), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return file(f)->real()->pMethods->xSectorSize(file(f)->real());
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return file(f)->real()->pMethods->xDeviceCharacteristics(file(f)->real());
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    File* wrapper = file(f);
    wrapper->base.pMethods = nullptr;
    wrapper->limited = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL)) != 0;
    const int rc = g_real->xOpen(g_real, name, wrapper->real(), flags, outFlags);
    if (rc == SQLITE_OK && wrapper->real()->pMethods)
        wrapper->base.pMethods = &g_methods;
    return rc;
}

}  // namespace

FailingVfs::FailingVfs() {
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "quorvel-failing-writes";
    g_vfs.szOsFile = static_cast<int>(sizeof(File)) + g_real->szOsFile;
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = xOpen;
    // Version 1 methods: rollback journals only, no shared memory (WAL) and
    // no memory-mapped pages, which the engine turns off anyway.
    g_methods = sqlite3_io_methods{};
    g_methods.iVersion = 1;
    g_methods.xClose = xClose;
    g_methods.xRead = xRead;
    g_methods.xWrite = xWrite;
    g_methods.xTruncate = xTruncate;
    g_methods.xSync = xSync;
    g_methods.xFileSize = xFileSize;
    g_methods.xLock = xLock;
    g_methods.xUnlock = xUnlock;
    g_methods.xCheckReservedLock = xCheckReservedLock;
    g_methods.xFileControl = xFileControl;
    g_methods.xSectorSize = xSectorSize;
    g_methods.xDeviceCharacteristics = xDeviceCharacteristics;
    g_writesLeft = -1;
    g_done = 0;
    g_failed = 0;
    sqlite3_vfs_register(&g_vfs, 1);
}

FailingVfs::~FailingVfs() {
    sqlite3_vfs_unregister(&g_vfs);
    sqlite3_vfs_register(g_real, 1);
}

void FailingVfs::failWritesAfter(int writes) {
    g_done = 0;
    g_failed = 0;
    g_writesLeft = writes;
}

int FailingVfs::writes() const {
    return g_done;
}

int FailingVfs::failedWrites() const {
    return g_failed;
}
