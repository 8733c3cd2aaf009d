// The helpers of translated hierarchical queries (CONNECT BY) as SQLite
// functions: the rows' keys, PRIOR values, loop and depth flags.

#include "CoreFunctions.h"

#include "sqlite/SqliteGuard.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace localengine::functions {

namespace {

[[noreturn]] void oracleError(const char* message) {
    throw EngineError(message, SQLITE_ERROR);
}

// Hierarchical queries. The translator turns CONNECT BY into a recursive
// common table expression whose rows carry a key (ORA_HIER_KEY): the
// values of the PRIOR operands on the row, packed with the identity of the
// walk the row belongs to and a flag saying whether the row may be
// expanded. SQLite's queue (ordered by level, deepest first) walks each
// root's tree depth first, so the rows from the root down to the parent of
// the rows being produced are one path, kept here per walk as a stack of
// keys with a set beside it: a child whose key is on that path closes a
// loop. Each row costs one lookup, whatever its depth.
//
// The packed key: 8 bytes of walk identity, 1 byte of flag, then per value
// a tag ('N' null, 'I' integer, 'R' real, 'T' text, 'B' blob) with its
// 8-byte number or 4-byte length and bytes.

constexpr unsigned char kExpand = 0;   // an ordinary row
constexpr unsigned char kLoop = 1;     // closes a loop: not expanded
constexpr unsigned char kTooDeep = 2;  // deeper than the engine goes
constexpr std::size_t kKeyHeader = 9;
constexpr std::size_t kWalksKept = 16;

struct KeyValue {
    int type = SQLITE_NULL;
    sqlite3_int64 i = 0;
    double d = 0;
    const char* bytes = nullptr;
    std::uint32_t size = 0;
};

KeyValue keyValue(sqlite3_value* v) {
    KeyValue k;
    k.type = sqlite3_value_type(v);
    switch (k.type) {
        case SQLITE_INTEGER:
            k.i = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            k.d = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT:
            k.bytes = reinterpret_cast<const char*>(sqlite3_value_text(v));
            k.size = static_cast<std::uint32_t>(sqlite3_value_bytes(v));
            break;
        case SQLITE_BLOB:
            k.bytes = static_cast<const char*>(sqlite3_value_blob(v));
            k.size = static_cast<std::uint32_t>(sqlite3_value_bytes(v));
            break;
        default:
            break;
    }
    return k;
}

template <typename T>
void appendRaw(std::string& out, T v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    out.append(b, sizeof v);
}

void packValue(std::string& out, const KeyValue& k) {
    switch (k.type) {
        case SQLITE_INTEGER:
            out += 'I';
            appendRaw(out, k.i);
            break;
        case SQLITE_FLOAT:
            out += 'R';
            appendRaw(out, k.d);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            out += k.type == SQLITE_TEXT ? 'T' : 'B';
            appendRaw(out, k.size);
            out.append(k.bytes ? k.bytes : "", k.size);
            break;
        default:
            out += 'N';
    }
}

// The values of a packed key, read back; false for what no key looks like.
bool unpackValues(const char* p, std::size_t size, std::vector<KeyValue>& values) {
    std::size_t at = kKeyHeader;
    while (at < size) {
        KeyValue k;
        const char tag = p[at++];
        if (tag == 'I' || tag == 'R') {
            if (size - at < 8)
                return false;
            k.type = tag == 'I' ? SQLITE_INTEGER : SQLITE_FLOAT;
            if (tag == 'I')
                std::memcpy(&k.i, p + at, 8);
            else
                std::memcpy(&k.d, p + at, 8);
            at += 8;
        } else if (tag == 'T' || tag == 'B') {
            if (size - at < 4)
                return false;
            std::memcpy(&k.size, p + at, 4);
            at += 4;
            if (size - at < k.size)
                return false;
            k.type = tag == 'T' ? SQLITE_TEXT : SQLITE_BLOB;
            k.bytes = p + at;
            at += k.size;
        } else if (tag != 'N') {
            return false;
        }
        values.push_back(k);
    }
    return true;
}

// A key as loops compare it: numbers by value (1 and 1.0 meet), text and
// blobs byte for byte, null equal to null.
std::string comparable(const std::vector<KeyValue>& values) {
    std::string out;
    for (const KeyValue& v : values) {
        KeyValue k = v;
        if (k.type == SQLITE_FLOAT && k.d == std::trunc(k.d) && k.d >= -9.2233720368547758e18 &&
            k.d < 9.2233720368547758e18) {
            k.type = SQLITE_INTEGER;
            k.i = static_cast<sqlite3_int64>(k.d);
        } else if (k.type == SQLITE_FLOAT && k.d == 0) {
            k.d = 0;  // -0.0
        }
        packValue(out, k);
    }
    return out;
}

struct KeyBlob {
    std::uint64_t walk = 0;
    unsigned char flag = kExpand;
    std::vector<KeyValue> values;
};

KeyBlob readKey(sqlite3_value* v) {
    KeyBlob key;
    const char* p = static_cast<const char*>(sqlite3_value_blob(v));
    const std::size_t size = static_cast<std::size_t>(sqlite3_value_bytes(v));
    if (sqlite3_value_type(v) != SQLITE_BLOB || size < kKeyHeader ||
        !unpackValues(p, size, key.values))
        oracleError("ORA-00600: internal error: not a CONNECT BY key");
    std::memcpy(&key.walk, p, 8);
    key.flag = static_cast<unsigned char>(p[8]);
    return key;
}

// The depth-first walks of the hierarchies running on one connection.
class HierarchyWalks {
public:
    struct Walk {
        std::uint64_t id = 0;
        std::vector<std::string> path;                // keys from the root to the parent
        std::unordered_map<std::string, int> onPath;  // how often each key is on it
    };

    std::mutex mutex;

    std::uint64_t newWalk() { return ++m_lastId; }

    // The walk `id`; a walk is started at its root's first children, and
    // only the few most recent are kept.
    Walk* find(std::uint64_t id, bool start) {
        for (std::size_t i = 0; i < m_walks.size(); ++i) {
            if (m_walks[i].id == id) {
                std::rotate(m_walks.begin(), m_walks.begin() + static_cast<std::ptrdiff_t>(i),
                            m_walks.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                return &m_walks.front();
            }
        }
        if (!start)
            return nullptr;
        if (m_walks.size() >= kWalksKept)
            m_walks.pop_back();
        m_walks.insert(m_walks.begin(), Walk{});
        m_walks.front().id = id;
        return &m_walks.front();
    }

private:
    std::uint64_t m_lastId = 0;
    std::vector<Walk> m_walks;
};

// ORA_HIER_KEY(parent key, parent level, value...): the key of a row. For
// a root (null parent) it starts a walk; for a child it brings the walk's
// path to the parent and flags the child when its values are on the path,
// or when it lies deeper than the engine goes.
void fnHierKey(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* walks = static_cast<HierarchyWalks*>(sqlite3_user_data(ctx));
    std::lock_guard<std::mutex> lock(walks->mutex);
    std::vector<KeyValue> values;
    for (int i = 2; i < argc; ++i)
        values.push_back(keyValue(argv[i]));
    std::uint64_t walk = 0;
    unsigned char flag = kExpand;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        walk = walks->newWalk();
    } else {
        const KeyBlob parent = readKey(argv[0]);
        walk = parent.walk;
        const sqlite3_int64 level = sqlite3_value_int64(argv[1]);
        if (level < 1)
            oracleError("ORA-00600: internal error: CONNECT BY level out of range");
        if (level >= kMaxHierarchyLevels) {
            flag = kTooDeep;
        } else if (!values.empty()) {
            HierarchyWalks::Walk* w = walks->find(walk, level == 1);
            const std::size_t depth = static_cast<std::size_t>(level);
            if (!w || w->path.size() < depth - 1)
                oracleError("ORA-00600: internal error: CONNECT BY walk lost");
            const std::string parentKey = comparable(parent.values);
            if (w->path.size() != depth || w->path.back() != parentKey) {
                while (w->path.size() > depth - 1) {
                    auto found = w->onPath.find(w->path.back());
                    if (--found->second == 0)
                        w->onPath.erase(found);
                    w->path.pop_back();
                }
                w->path.push_back(parentKey);
                ++w->onPath[parentKey];
            }
            if (w->onPath.count(comparable(values)))
                flag = kLoop;
        }
    }
    std::string key;
    appendRaw(key, walk);
    key += static_cast<char>(flag);
    for (const KeyValue& v : values)
        packValue(key, v);
    sqlite3_result_blob64(ctx, key.data(), key.size(), SQLITE_TRANSIENT);
}

// ORA_HIER_PRIOR(key, n): the n-th PRIOR value of the row of `key`.
void fnHierPrior(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const KeyBlob key = readKey(argv[0]);
    const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
    if (n < 0 || static_cast<std::size_t>(n) >= key.values.size())
        oracleError("ORA-00600: internal error: no such CONNECT BY value");
    const KeyValue& v = key.values[static_cast<std::size_t>(n)];
    switch (v.type) {
        case SQLITE_INTEGER:
            sqlite3_result_int64(ctx, v.i);
            break;
        case SQLITE_FLOAT:
            sqlite3_result_double(ctx, v.d);
            break;
        case SQLITE_TEXT:
            sqlite3_result_text64(ctx, v.bytes, v.size, SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        case SQLITE_BLOB:
            sqlite3_result_blob64(ctx, v.bytes, v.size, SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_result_null(ctx);
    }
}

// ORA_HIER_FLAG(key): 0 for a row the recursion expands.
void fnHierFlag(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, readKey(argv[0]).flag);
}

// ORA_HIERARCHY_CHECK(key, nocycle): passes the rows of a translated
// hierarchical query: 1 for an ordinary row; for a row that closes a loop,
// 0 under NOCYCLE and otherwise Oracle's error.
void fnHierarchyCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const unsigned char flag = readKey(argv[0]).flag;
    const bool nocycle = sqlite3_value_int(argv[1]) != 0;
    if (flag == kExpand) {
        sqlite3_result_int(ctx, 1);
    } else if (flag == kLoop && nocycle) {
        sqlite3_result_int(ctx, 0);
    } else if (flag == kLoop) {
        oracleError("ORA-01436: CONNECT BY loop in user data");
    } else {
        const std::string message =
            "ORA-30009: Not enough memory for CONNECT BY operation (the local engine stops at " +
            std::to_string(kMaxHierarchyLevels) + " levels)";
        sqlite3_result_error(ctx, message.c_str(), -1);
    }
}

using Callback = void (*)(sqlite3_context*, int, sqlite3_value**);

// Innocuous: no side effects and nothing read beyond their arguments, so the
// views, triggers and constraints of a user's file (whose schema the engine
// does not trust) may call them. A function with side effects, or one that
// reveals anything of the process or the machine, is registered
// SQLITE_DIRECTONLY instead.
void add(sqlite3* db, const char* name, int args, Callback fn) {
    sqlite3_create_function_v2(db, name, args,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, fn,
                               nullptr, nullptr, nullptr);
}

}  // namespace

void registerHierarchyFunctions(sqlite3* db) {
    // The walks of hierarchical queries: state of the connection, freed
    // with it. ORA_HIER_KEY is not deterministic: SQLite must call it once
    // per row, in the order the recursion makes the rows.
    sqlite3_create_function_v2(db, "ORA_HIER_KEY", -1, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                               new HierarchyWalks, guardedFunction<fnHierKey>, nullptr, nullptr,
                               [](void* p) { delete static_cast<HierarchyWalks*>(p); });
    add(db, "ORA_HIER_PRIOR", 2, guardedFunction<fnHierPrior>);
    add(db, "ORA_HIER_FLAG", 1, guardedFunction<fnHierFlag>);
    add(db, "ORA_HIERARCHY_CHECK", 2, guardedFunction<fnHierarchyCheck>);
}

}  // namespace localengine::functions
