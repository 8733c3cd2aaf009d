// Oracle's aggregates as SQLite aggregate and window functions:
//   ORA_LISTAGG(value, separator[, 'ERROR'|'TRUNCATE'[, indicator[, with_count]]])
//     LISTAGG's core; the front end arranges the WITHIN GROUP order of the rows.
//   ORA_LISTAGG_SORTED(value, separator, mode, indicator, with_count, order, key1[, ...])
//     LISTAGG ... WITHIN GROUP (ORDER BY key1, ...): ORA_LISTAGG's arguments,
//     then the keys' order as for ORA_KEEP and the keys.
//   ORA_SCALAR(x)
//     the value of a scalar subquery's one row: NULL for none, ORA-01427 for
//     a second row.
//   SUM(x), AVG(x) (replacing SQLite's: decimal results, see DecimalSum)
//   MEDIAN(x), STATS_MODE(x)
//   VARIANCE, VAR_SAMP, VAR_POP, STDDEV, STDDEV_SAMP, STDDEV_POP (x)
//   ORA_KEEP(function, 'FIRST'|'LAST', order, value, key1[, key2 ...])
//     function(value) KEEP (DENSE_RANK FIRST|LAST ORDER BY key1, key2 ...);
//     `order` gives each key's direction and NULL placement, comma-separated:
//     'ASC', 'DESC', 'ASC NULLS FIRST', 'DESC NULLS LAST' (Oracle's defaults:
//     NULLS LAST ascending, NULLS FIRST descending).

#include "Aggregates.h"
#include "DateFunctions.h"
#include "SqliteGlue.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sstream>

namespace localengine::functions::glue {

namespace {

// The C++ state behind SQLite's aggregate context: created on the first
// row, deleted by the final call.
template <typename State>
State* stateOf(sqlite3_context* ctx, bool create) {
    auto** slot = static_cast<State**>(sqlite3_aggregate_context(ctx, create ? sizeof(State*) : 0));
    if (!slot) {
        if (create)
            throw std::bad_alloc();
        return nullptr;
    }
    if (!*slot && create)
        *slot = new State();
    return *slot;
}

template <typename State>
void release(sqlite3_context* ctx) {
    auto** slot = static_cast<State**>(sqlite3_aggregate_context(ctx, 0));
    if (slot) {
        delete *slot;
        *slot = nullptr;
    }
}

// ---------------------------------------------------------------- LISTAGG

struct ListAggState {
    ListAgg values;
    std::string separator;
    ListAgg::Overflow overflow;
};

void listaggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guard(ctx, [&] {
        ListAggState* s = stateOf<ListAggState>(ctx, true);
        if (argc > 1 && !isNull(argv[1]))
            s->separator = text(argv[1]);
        if (argc > 2 && !isNull(argv[2])) {
            std::string mode = text(argv[2]);
            for (char& c : mode)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            s->overflow.truncate = mode == "TRUNCATE";
        }
        if (argc > 3 && !isNull(argv[3]))
            s->overflow.indicator = text(argv[3]);
        if (argc > 4 && !isNull(argv[4]))
            s->overflow.withCount = integer(argv[4]) != 0;
        if (!isNull(argv[0]))
            s->values.add(text(argv[0]));
    });
}

void listaggInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        if (!isNull(argv[0]))
            stateOf<ListAggState>(ctx, true)->values.removeFirst();
    });
}

void listaggValue(sqlite3_context* ctx) {
    guard(ctx, [&] {
        const ListAggState* s = stateOf<ListAggState>(ctx, false);
        if (!s) {
            sqlite3_result_null(ctx);
            return;
        }
        result(ctx, s->values.result(s->separator, settings(ctx).maxStringBytes, s->overflow));
    });
}

void listaggFinal(sqlite3_context* ctx) {
    listaggValue(ctx);
    release<ListAggState>(ctx);
}

// ------------------------------------------------------------ ORA_SCALAR

struct ScalarState {
    sqlite3_value* value = nullptr;
    bool seen = false;
    ~ScalarState() { sqlite3_value_free(value); }
};

void scalarStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        ScalarState* s = stateOf<ScalarState>(ctx, true);
        if (s->seen)
            raise(1427);
        s->seen = true;
        s->value = sqlite3_value_dup(argv[0]);
        if (!s->value)
            throw std::bad_alloc();
    });
}

void scalarFinal(sqlite3_context* ctx) {
    const ScalarState* s = stateOf<ScalarState>(ctx, false);
    if (s && s->value)
        sqlite3_result_value(ctx, s->value);
    else
        sqlite3_result_null(ctx);
    release<ScalarState>(ctx);
}

// ------------------------------------------------------ VARIANCE / STDDEV

enum class SpreadKind { Variance, VarSamp, VarPop, Stddev, StddevSamp, StddevPop };

void spreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        Spread* s = stateOf<Spread>(ctx, true);
        if (!isNull(argv[0]))
            s->add(number(argv[0]).asDouble());
    });
}

void spreadInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        if (!isNull(argv[0]))
            stateOf<Spread>(ctx, true)->remove(number(argv[0]).asDouble());
    });
}

template <SpreadKind K>
void spreadValue(sqlite3_context* ctx) {
    const Spread* s = stateOf<Spread>(ctx, false);
    std::optional<double> v;
    if (s) {
        switch (K) {
            case SpreadKind::Variance:
            case SpreadKind::Stddev:
                v = s->variance();
                break;
            case SpreadKind::VarSamp:
            case SpreadKind::StddevSamp:
                v = s->varianceSample();
                break;
            case SpreadKind::VarPop:
            case SpreadKind::StddevPop:
                v = s->variancePopulation();
                break;
        }
    }
    if (!v) {
        sqlite3_result_null(ctx);
        return;
    }
    const bool root =
        K == SpreadKind::Stddev || K == SpreadKind::StddevSamp || K == SpreadKind::StddevPop;
    sqlite3_result_double(ctx, root ? std::sqrt(*v) : *v);
}

template <SpreadKind K>
void spreadFinal(sqlite3_context* ctx) {
    spreadValue<K>(ctx);
    release<Spread>(ctx);
}

// -------------------------------------------------------------- SUM / AVG

void decimalSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        DecimalSum* s = stateOf<DecimalSum>(ctx, true);
        if (!isNull(argv[0]))
            s->add(number(argv[0]));
    });
}

void decimalSumInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        if (!isNull(argv[0]))
            stateOf<DecimalSum>(ctx, true)->remove(number(argv[0]));
    });
}

template <bool Average>
void decimalSumValue(sqlite3_context* ctx) {
    guard(ctx, [&] {
        const DecimalSum* s = stateOf<DecimalSum>(ctx, false);
        const std::optional<Number> v = !s ? std::nullopt : Average ? s->average() : s->sum();
        if (v)
            result(ctx, *v);
        else
            sqlite3_result_null(ctx);
    });
}

template <bool Average>
void decimalSumFinal(sqlite3_context* ctx) {
    decimalSumValue<Average>(ctx);
    release<DecimalSum>(ctx);
}

// ----------------------------------------------------------------- MEDIAN

struct MedianState {
    std::vector<double> values;
    bool dates = false, timestamps = false;
};

void medianStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        MedianState* s = stateOf<MedianState>(ctx, true);
        if (isNull(argv[0]))
            return;
        if (const auto d = storedDatetime(argv[0])) {
            s->dates = true;
            s->timestamps = s->timestamps || hasFraction(argv[0]);
            s->values.push_back(static_cast<double>(toSeconds(*d)) + d->nanos / 1e9);
            return;
        }
        if (s->dates)
            raise(932, "DATE", "NUMBER");
        s->values.push_back(number(argv[0]).asDouble());
    });
}

void medianInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        MedianState* s = stateOf<MedianState>(ctx, true);
        if (isNull(argv[0]))
            return;
        double v = 0;
        if (const auto d = storedDatetime(argv[0]))
            v = static_cast<double>(toSeconds(*d)) + d->nanos / 1e9;
        else
            v = number(argv[0]).asDouble();
        const auto at = std::find(s->values.begin(), s->values.end(), v);
        if (at != s->values.end())
            s->values.erase(at);
    });
}

void medianValue(sqlite3_context* ctx) {
    guard(ctx, [&] {
        const MedianState* s = stateOf<MedianState>(ctx, false);
        const std::optional<double> m = s ? median(s->values) : std::nullopt;
        if (!m) {
            sqlite3_result_null(ctx);
            return;
        }
        if (s->dates) {
            const double whole = std::floor(*m);
            const int nanos = static_cast<int>(std::llround((*m - whole) * 1e9));
            const DateTime d = fromSeconds(static_cast<std::int64_t>(whole), nanos);
            s->timestamps ? resultTimestamp(ctx, d)
                          : resultDate(ctx, fromSeconds(std::llround(*m)));
            return;
        }
        if (*m == std::trunc(*m) && std::fabs(*m) < 9e15)
            sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(*m));
        else
            sqlite3_result_double(ctx, *m);
    });
}

void medianFinal(sqlite3_context* ctx) {
    medianValue(ctx);
    release<MedianState>(ctx);
}

// ------------------------------------------------------------- STATS_MODE

// A value kept with its SQLite type, ordered numbers first, then text.
struct Key {
    int type = SQLITE_NULL;
    Number n;
    std::string t;
    static Key of(sqlite3_value* v) {
        Key k;
        k.type = sqlite3_value_type(v);
        if (k.type == SQLITE_INTEGER || k.type == SQLITE_FLOAT)
            k.n = number(v);
        else if (k.type != SQLITE_NULL)
            k.t = text(v);
        return k;
    }
    bool numeric() const { return type == SQLITE_INTEGER || type == SQLITE_FLOAT; }
    // NULLs are placed by the caller.
    int compare(const Key& o) const {
        if (numeric() && o.numeric())
            return functions::compare(n, o.n);
        if (numeric() != o.numeric())
            return numeric() ? -1 : 1;
        return t < o.t ? -1 : t > o.t ? 1 : 0;
    }
    bool operator<(const Key& o) const { return compare(o) < 0; }
    void toResult(sqlite3_context* ctx) const {
        if (numeric())
            result(ctx, n);
        else if (type == SQLITE_NULL)
            sqlite3_result_null(ctx);
        else
            result(ctx, Text(t));
    }
};

struct ModeState {
    std::map<Key, std::int64_t> counts;
};

void modeStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        ModeState* s = stateOf<ModeState>(ctx, true);
        if (!isNull(argv[0]))
            ++s->counts[Key::of(argv[0])];
    });
}

void modeInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] {
        ModeState* s = stateOf<ModeState>(ctx, true);
        if (isNull(argv[0]))
            return;
        const auto at = s->counts.find(Key::of(argv[0]));
        if (at != s->counts.end() && --at->second == 0)
            s->counts.erase(at);
    });
}

// Oracle picks one of several modes; this takes the smallest.
void modeValue(sqlite3_context* ctx) {
    guard(ctx, [&] {
        const ModeState* s = stateOf<ModeState>(ctx, false);
        const Key* best = nullptr;
        std::int64_t bestCount = 0;
        if (s) {
            for (const auto& [key, count] : s->counts) {
                if (count > bestCount) {
                    best = &key;
                    bestCount = count;
                }
            }
        }
        if (!best)
            sqlite3_result_null(ctx);
        else
            best->toResult(ctx);
    });
}

void modeFinal(sqlite3_context* ctx) {
    modeValue(ctx);
    release<ModeState>(ctx);
}

// ------------------------------------------------------------------- KEEP

struct KeyOrder {
    bool descending = false, nullsFirst = false;
};

std::vector<KeyOrder> parseOrder(const std::string& orderText, std::size_t keys) {
    std::vector<KeyOrder> out;
    std::stringstream in(orderText);
    std::string item;
    while (std::getline(in, item, ',')) {
        for (char& c : item)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        KeyOrder o;
        o.descending = item.find("DESC") != std::string::npos;
        o.nullsFirst = o.descending;
        if (item.find("NULLS FIRST") != std::string::npos)
            o.nullsFirst = true;
        if (item.find("NULLS LAST") != std::string::npos)
            o.nullsFirst = false;
        out.push_back(o);
    }
    out.resize(keys);
    return out;
}

struct KeepState {
    std::string function;
    bool started = false;
    std::vector<Key> best;
    std::vector<Key> values;  // the non-NULL values of the rows ranked first (or last)
    std::vector<KeyOrder> order;
};

int compareKeys(const std::vector<Key>& a, const std::vector<Key>& b,
                const std::vector<KeyOrder>& order) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool an = a[i].type == SQLITE_NULL, bn = b[i].type == SQLITE_NULL;
        int c = 0;
        if (an || bn)
            c = an == bn ? 0 : ((an ? -1 : 1) * (order[i].nullsFirst ? 1 : -1));
        else
            c = a[i].compare(b[i]) * (order[i].descending ? -1 : 1);
        if (c)
            return c;
    }
    return 0;
}

void keepStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guard(ctx, [&] {
        if (argc < 5)
            throw Unsupported(
                "ORA_KEEP needs a function, FIRST or LAST, the order, a value and "
                "at least one key");
        KeepState* s = stateOf<KeepState>(ctx, true);
        std::vector<Key> keys;
        for (int i = 4; i < argc; ++i)
            keys.push_back(Key::of(argv[i]));
        if (s->order.empty()) {
            s->order = parseOrder(text(argv[2]), keys.size());
            s->function = text(argv[0]);
            for (char& c : s->function)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        std::string which = text(argv[1]);
        for (char& c : which)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool last = which == "LAST";
        int c = s->started ? compareKeys(keys, s->best, s->order) : -1;
        if (last && s->started)
            c = -c;
        if (c < 0) {
            s->started = true;
            s->best = std::move(keys);
            s->values.clear();
        }
        if (c <= 0 && !isNull(argv[3]))
            s->values.push_back(Key::of(argv[3]));
    });
}

// The function over the values of the rows that rank first (or last).
void keepFinal(sqlite3_context* ctx) {
    guard(ctx, [&] {
        KeepState* s = stateOf<KeepState>(ctx, false);
        if (!s) {
            sqlite3_result_null(ctx);
            return;
        }
        const std::string& fn = s->function;
        if (fn == "COUNT") {
            result(ctx, Number::of(static_cast<std::int64_t>(s->values.size())));
            return;
        }
        if (s->values.empty()) {
            sqlite3_result_null(ctx);
            return;
        }
        if (fn == "MIN" || fn == "MAX") {
            const Key* best = &s->values.front();
            for (const Key& k : s->values)
                if (fn == "MIN" ? k.compare(*best) < 0 : k.compare(*best) > 0)
                    best = &k;
            best->toResult(ctx);
            return;
        }
        Spread spread;
        DecimalSum sum;
        for (const Key& k : s->values) {
            const Number n = k.numeric() ? k.n : parseNumber(k.t);
            spread.add(n.asDouble());
            sum.add(n);
        }
        if (fn == "SUM") {
            result(ctx, *sum.sum());
        } else if (fn == "AVG") {
            result(ctx, *sum.average());
        } else if (fn == "VARIANCE" || fn == "STDDEV") {
            const double v = *spread.variance();
            result(ctx, Number::of(fn == "STDDEV" ? std::sqrt(v) : v));
        } else {
            throw Unsupported(
                "KEEP (DENSE_RANK ...) is supported for MIN, MAX, SUM, AVG, COUNT, "
                "VARIANCE and STDDEV");
        }
    });
    release<KeepState>(ctx);
}

// ------------------------------------------------ LISTAGG ... WITHIN GROUP

// ORA_LISTAGG_SORTED(value, separator, 'ERROR'|'TRUNCATE', indicator,
// with_count, order, key1[, key2 ...]): the rows are kept as they come
// (the window's inverse removes the oldest) and joined in the keys' order.
struct SortedListAggState {
    struct Row {
        std::vector<Key> keys;
        std::optional<std::string> value;
    };
    std::deque<Row> rows;
    std::string separator;
    ListAgg::Overflow overflow;
    std::vector<KeyOrder> order;
    bool started = false;
};

void sortedListaggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guard(ctx, [&] {
        if (argc < 7)
            throw Unsupported(
                "ORA_LISTAGG_SORTED needs a value, the separator, the overflow mode, the "
                "indicator, with_count, the order and at least one key");
        SortedListAggState* s = stateOf<SortedListAggState>(ctx, true);
        if (!s->started) {
            s->started = true;
            if (!isNull(argv[1]))
                s->separator = text(argv[1]);
            std::string mode = isNull(argv[2]) ? std::string() : text(argv[2]);
            for (char& c : mode)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            s->overflow.truncate = mode == "TRUNCATE";
            if (!isNull(argv[3]))
                s->overflow.indicator = text(argv[3]);
            if (!isNull(argv[4]))
                s->overflow.withCount = integer(argv[4]) != 0;
            s->order = parseOrder(isNull(argv[5]) ? std::string() : text(argv[5]),
                                  static_cast<std::size_t>(argc - 6));
        }
        SortedListAggState::Row row;
        for (int i = 6; i < argc; ++i)
            row.keys.push_back(Key::of(argv[i]));
        if (!isNull(argv[0]))
            row.value = text(argv[0]);
        s->rows.push_back(std::move(row));
    });
}

void sortedListaggInverse(sqlite3_context* ctx, int, sqlite3_value**) {
    guard(ctx, [&] {
        SortedListAggState* s = stateOf<SortedListAggState>(ctx, true);
        if (!s->rows.empty())
            s->rows.pop_front();
    });
}

void sortedListaggValue(sqlite3_context* ctx) {
    guard(ctx, [&] {
        const SortedListAggState* s = stateOf<SortedListAggState>(ctx, false);
        if (!s) {
            sqlite3_result_null(ctx);
            return;
        }
        std::vector<const SortedListAggState::Row*> sorted;
        for (const SortedListAggState::Row& row : s->rows)
            if (row.value)
                sorted.push_back(&row);
        std::stable_sort(sorted.begin(), sorted.end(), [&](const auto* a, const auto* b) {
            return compareKeys(a->keys, b->keys, s->order) < 0;
        });
        ListAgg values;
        for (const SortedListAggState::Row* row : sorted)
            values.add(*row->value);
        result(ctx, values.result(s->separator, settings(ctx).maxStringBytes, s->overflow));
    });
}

void sortedListaggFinal(sqlite3_context* ctx) {
    sortedListaggValue(ctx);
    release<SortedListAggState>(ctx);
}

}  // namespace

bool registerAggregates(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    auto window = [&](const char* name, int args,
                      void (*step)(sqlite3_context*, int, sqlite3_value**),
                      void (*final)(sqlite3_context*), void (*value)(sqlite3_context*),
                      void (*inverse)(sqlite3_context*, int, sqlite3_value**)) {
        auto* holder = new std::shared_ptr<SessionSettings>(s);
        return sqlite3_create_window_function(
                   db, name, args, SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC, holder,
                   step, final, value, inverse, [](void* p) {
                       delete static_cast<std::shared_ptr<SessionSettings>*>(p);
                   }) == SQLITE_OK;
    };
    bool ok = true;
    for (int n = 1; n <= 5; ++n)
        ok =
            ok && window("ORA_LISTAGG", n, listaggStep, listaggFinal, listaggValue, listaggInverse);
    ok = ok &&
         sqlite3_create_function_v2(db, "ORA_SCALAR", 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                    nullptr, scalarStep, scalarFinal, nullptr) == SQLITE_OK;
    ok = ok && window("ORA_LISTAGG_SORTED", -1, sortedListaggStep, sortedListaggFinal,
                      sortedListaggValue, sortedListaggInverse);
    // SQLite's own SUM and AVG add doubles as they come; these replace them.
    ok = ok && window("SUM", 1, decimalSumStep, decimalSumFinal<false>, decimalSumValue<false>,
                      decimalSumInverse);
    ok = ok && window("AVG", 1, decimalSumStep, decimalSumFinal<true>, decimalSumValue<true>,
                      decimalSumInverse);
    ok = ok && window("MEDIAN", 1, medianStep, medianFinal, medianValue, medianInverse);
    ok = ok && window("STATS_MODE", 1, modeStep, modeFinal, modeValue, modeInverse);
    ok = ok && window("VARIANCE", 1, spreadStep, spreadFinal<SpreadKind::Variance>,
                      spreadValue<SpreadKind::Variance>, spreadInverse);
    ok = ok && window("VAR_SAMP", 1, spreadStep, spreadFinal<SpreadKind::VarSamp>,
                      spreadValue<SpreadKind::VarSamp>, spreadInverse);
    ok = ok && window("VAR_POP", 1, spreadStep, spreadFinal<SpreadKind::VarPop>,
                      spreadValue<SpreadKind::VarPop>, spreadInverse);
    ok = ok && window("STDDEV", 1, spreadStep, spreadFinal<SpreadKind::Stddev>,
                      spreadValue<SpreadKind::Stddev>, spreadInverse);
    ok = ok && window("STDDEV_SAMP", 1, spreadStep, spreadFinal<SpreadKind::StddevSamp>,
                      spreadValue<SpreadKind::StddevSamp>, spreadInverse);
    ok = ok && window("STDDEV_POP", 1, spreadStep, spreadFinal<SpreadKind::StddevPop>,
                      spreadValue<SpreadKind::StddevPop>, spreadInverse);
    {
        auto* holder = new std::shared_ptr<SessionSettings>(s);
        ok = ok && sqlite3_create_function_v2(
                       db, "ORA_KEEP", -1, SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC,
                       holder, nullptr, keepStep, keepFinal, [](void* p) {
                           delete static_cast<std::shared_ptr<SessionSettings>*>(p);
                       }) == SQLITE_OK;
    }
    return ok;
}

}  // namespace localengine::functions::glue
