// The transcendental functions with Oracle's domains and range, in place of
// SQLite's (which answer NULL outside a function's domain and infinity past
// the largest double): an argument outside the domain raises ORA-01428, a
// result past NUMBER's range (below 1.0E126) ORA-01426.
//   LN(n)        n > 0
//   LOG(m, n)    m > 0 and m <> 1, n > 0
//   ACOS, ASIN   -1 <= n <= 1
//   EXP, COSH, SINH   the result within NUMBER's range

#include "Number.h"
#include "OraError.h"
#include "SqliteGlue.h"

#include <cmath>

namespace localengine::functions::glue {

namespace {

constexpr double kNumberLimit = 1.0e126;  // NUMBER holds magnitudes below this

std::string shown(sqlite3_value* v) {
    return numberText(number(v));
}

void inRange(sqlite3_context* ctx, double r) {
    if (!std::isfinite(r) || std::fabs(r) >= kNumberLimit)
        raise(1426);
    result(ctx, Number::of(r));
}

void lnFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const double n = number(argv[0]).asDouble();
    if (!(n > 0))
        raise(1428, shown(argv[0]));
    inRange(ctx, std::log(n));
}

void logFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const double m = number(argv[0]).asDouble();
    const double n = number(argv[1]).asDouble();
    if (!(m > 0) || m == 1)
        raise(1428, shown(argv[0]));
    if (!(n > 0))
        raise(1428, shown(argv[1]));
    inRange(ctx, std::log(n) / std::log(m));
}

template <double (*F)(double)>
void boundedFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const double n = number(argv[0]).asDouble();
    if (!(n >= -1 && n <= 1))
        raise(1428, shown(argv[0]));
    inRange(ctx, F(n));
}

template <double (*F)(double)>
void growingFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    inRange(ctx, F(number(argv[0]).asDouble()));
}

double acosOf(double x) {
    return std::acos(x);
}
double asinOf(double x) {
    return std::asin(x);
}
double expOf(double x) {
    return std::exp(x);
}
double coshOf(double x) {
    return std::cosh(x);
}
double sinhOf(double x) {
    return std::sinh(x);
}

}  // namespace

bool registerMathFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    return addScalar(db, s, "LN", 1, nullIn<lnFn>) && addScalar(db, s, "LOG", 2, nullIn<logFn>) &&
           addScalar(db, s, "ACOS", 1, nullIn<boundedFn<acosOf>>) &&
           addScalar(db, s, "ASIN", 1, nullIn<boundedFn<asinOf>>) &&
           addScalar(db, s, "EXP", 1, nullIn<growingFn<expOf>>) &&
           addScalar(db, s, "COSH", 1, nullIn<growingFn<coshOf>>) &&
           addScalar(db, s, "SINH", 1, nullIn<growingFn<sinhOf>>);
}

}  // namespace localengine::functions::glue
