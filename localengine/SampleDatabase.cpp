#include "SampleDatabase.h"

#include "sqlite/Statement.h"

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

namespace localengine {

namespace {

// Twelve tables of a sales schema. Primary keys: single-column (named and
// generated), composite (in a key order that differs from the column
// order), a rowid alias; SALES_HISTORY has none.
const char* const kSchema[] = {
    "CREATE TABLE REGIONS (REGION_ID NUMBER(4) CONSTRAINT PK_REGIONS PRIMARY KEY,"
    " REGION_NAME VARCHAR2(30) NOT NULL)",
    "CREATE TABLE COUNTRIES (COUNTRY_ID CHAR(2) CONSTRAINT PK_COUNTRIES PRIMARY KEY,"
    " COUNTRY_NAME VARCHAR2(40) NOT NULL, REGION_ID NUMBER(4) REFERENCES REGIONS (REGION_ID))",
    "CREATE TABLE DEPARTMENTS (DEPARTMENT_ID NUMBER(4) PRIMARY KEY, DEPARTMENT_NAME VARCHAR2(30) "
    "NOT NULL UNIQUE,"
    " MANAGER_ID NUMBER(6), COUNTRY_ID CHAR(2) REFERENCES COUNTRIES (COUNTRY_ID))",
    "CREATE TABLE EMPLOYEES (EMPLOYEE_ID INTEGER PRIMARY KEY, FIRST_NAME VARCHAR2(20),"
    " LAST_NAME VARCHAR2(25) NOT NULL, EMAIL VARCHAR2(60) NOT NULL, HIRE_DATE DATE NOT NULL,"
    " JOB_TITLE VARCHAR2(35), SALARY NUMBER(8,2) CONSTRAINT EMP_SALARY_MIN CHECK (SALARY > 0),"
    " MANAGER_ID NUMBER(6) REFERENCES EMPLOYEES (EMPLOYEE_ID),"
    " DEPARTMENT_ID NUMBER(4) REFERENCES DEPARTMENTS (DEPARTMENT_ID),"
    " CONSTRAINT EMP_EMAIL_UK UNIQUE (EMAIL))",
    "CREATE TABLE CUSTOMERS (CUSTOMER_ID NUMBER(8) CONSTRAINT PK_CUSTOMERS PRIMARY KEY,"
    " CUST_NAME VARCHAR2(60) NOT NULL, EMAIL VARCHAR2(80), COUNTRY_ID CHAR(2) REFERENCES COUNTRIES "
    "(COUNTRY_ID),"
    " CITY VARCHAR2(30), CREDIT_LIMIT NUMBER(9,2), ACCOUNT_MGR_ID NUMBER(6) REFERENCES EMPLOYEES "
    "(EMPLOYEE_ID),"
    " CREATED DATE)",
    "CREATE TABLE CATEGORIES (CATEGORY_ID NUMBER(4) CONSTRAINT PK_CATEGORIES PRIMARY KEY,"
    " CATEGORY_NAME VARCHAR2(30) NOT NULL, PARENT_CATEGORY_ID NUMBER(4) REFERENCES CATEGORIES "
    "(CATEGORY_ID))",
    "CREATE TABLE PRODUCTS (PRODUCT_ID NUMBER(6) CONSTRAINT PK_PRODUCTS PRIMARY KEY,"
    " PRODUCT_CODE VARCHAR2(12) NOT NULL, PRODUCT_NAME VARCHAR2(50) NOT NULL,"
    " CATEGORY_ID NUMBER(4) REFERENCES CATEGORIES (CATEGORY_ID), LIST_PRICE NUMBER(8,2), MIN_PRICE "
    "NUMBER(8,2),"
    " PRODUCT_STATUS VARCHAR2(12))",
    "CREATE TABLE WAREHOUSES (WAREHOUSE_ID NUMBER(3) PRIMARY KEY, WAREHOUSE_NAME VARCHAR2(35),"
    " COUNTRY_ID CHAR(2) REFERENCES COUNTRIES (COUNTRY_ID))",
    "CREATE TABLE INVENTORIES (PRODUCT_ID NUMBER(6) NOT NULL REFERENCES PRODUCTS (PRODUCT_ID),"
    " WAREHOUSE_ID NUMBER(3) NOT NULL REFERENCES WAREHOUSES (WAREHOUSE_ID), QUANTITY_ON_HAND "
    "NUMBER(8) NOT NULL,"
    " PRIMARY KEY (WAREHOUSE_ID, PRODUCT_ID))",
    "CREATE TABLE ORDERS (ORDER_ID NUMBER(12) CONSTRAINT PK_ORDERS PRIMARY KEY, ORDER_DATE DATE "
    "NOT NULL,"
    " CUSTOMER_ID NUMBER(8) NOT NULL REFERENCES CUSTOMERS (CUSTOMER_ID), ORDER_STATUS VARCHAR2(10),"
    " SALES_REP_ID NUMBER(6) REFERENCES EMPLOYEES (EMPLOYEE_ID), ORDER_TOTAL NUMBER(12,2))",
    "CREATE TABLE ORDER_ITEMS (ORDER_ID NUMBER(12) NOT NULL REFERENCES ORDERS (ORDER_ID),"
    " LINE_ITEM_ID NUMBER(3) NOT NULL, PRODUCT_ID NUMBER(6) NOT NULL REFERENCES PRODUCTS "
    "(PRODUCT_ID),"
    " UNIT_PRICE NUMBER(8,2), QUANTITY NUMBER(8),"
    " CONSTRAINT PK_ORDER_ITEMS PRIMARY KEY (ORDER_ID, LINE_ITEM_ID))",
    "CREATE TABLE SALES_HISTORY (SALE_DATE DATE NOT NULL, PRODUCT_ID NUMBER(6) NOT NULL,"
    " CUSTOMER_ID NUMBER(8) NOT NULL, CHANNEL VARCHAR2(10), QUANTITY_SOLD NUMBER(6), AMOUNT_SOLD "
    "NUMBER(10,2))",
};

// Secondary indexes, made after the rows are in.
const char* const kIndexes[] = {
    "CREATE INDEX EMP_MANAGER_IX ON EMPLOYEES (MANAGER_ID)",
    "CREATE INDEX EMP_DEPARTMENT_IX ON EMPLOYEES (DEPARTMENT_ID)",
    "CREATE INDEX EMP_NAME_IX ON EMPLOYEES (LAST_NAME, FIRST_NAME)",
    "CREATE UNIQUE INDEX CUST_EMAIL_UK ON CUSTOMERS (EMAIL)",
    "CREATE INDEX CUST_COUNTRY_IX ON CUSTOMERS (COUNTRY_ID)",
    "CREATE INDEX CUST_NAME_IX ON CUSTOMERS (CUST_NAME)",
    "CREATE UNIQUE INDEX PROD_CODE_UK ON PRODUCTS (PRODUCT_CODE)",
    "CREATE INDEX PROD_CATEGORY_IX ON PRODUCTS (CATEGORY_ID)",
    "CREATE INDEX ORD_CUSTOMER_IX ON ORDERS (CUSTOMER_ID)",
    "CREATE INDEX ORD_DATE_IX ON ORDERS (ORDER_DATE)",
    "CREATE INDEX ORD_SALES_REP_IX ON ORDERS (SALES_REP_ID)",
    "CREATE INDEX ITEM_PRODUCT_IX ON ORDER_ITEMS (PRODUCT_ID)",
    "CREATE INDEX SALES_PRODUCT_DATE_IX ON SALES_HISTORY (PRODUCT_ID, SALE_DATE)",
};

constexpr int kEmployees = 300;
constexpr int kCustomers = 3000;
constexpr int kProducts = 1000;
constexpr int kWarehouses = 8;
constexpr int kOrders = 10000;
constexpr int kSales = 20000;

// A fixed-seed generator, so every run builds the same data.
class Random {
public:
    std::uint32_t next() {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(m_state >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }

private:
    std::uint64_t m_state = 20240607;
};

template <std::size_t N>
const char* pick(Random& r, const std::array<const char*, N>& list) {
    return list[static_cast<std::size_t>(r.below(static_cast<int>(N)))];
}

// 'YYYY-MM-DD' of a day counted from 2019-01-01.
std::string dayText(int day, int secondsOfDay = -1) {
    // days from civil (Howard Hinnant's algorithm), inverted
    long z = day + 17897 + 719468;  // 17897 = days from 1970-01-01 to 2019-01-01
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    char buf[32];
    if (secondsOfDay < 0)
        std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld 00:00:00", y, m, d);
    else
        std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld %02d:%02d:%02d", y, m, d,
                      secondsOfDay / 3600, secondsOfDay / 60 % 60, secondsOfDay % 60);
    return buf;
}

using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

// One INSERT statement, run once per row.
class Inserter {
public:
    Inserter(sqlite3* db, const char* sql) : m_stmt(db, sql) {}

    void row(std::initializer_list<Value> values) {
        int i = 1;
        for (const Value& v : values) {
            if (const auto* n = std::get_if<std::int64_t>(&v))
                m_stmt.bind(i, *n);
            else if (const auto* d = std::get_if<double>(&v))
                m_stmt.bind(i, *d);
            else if (const auto* s = std::get_if<std::string>(&v))
                m_stmt.bind(i, *s);
            else
                m_stmt.bindNull(i);
            ++i;
        }
        m_stmt.run();
    }

private:
    sqlite::Statement m_stmt;
};

using sqlite::exec;

double money(int cents) {
    return cents / 100.0;
}

// The sample's fixed lists of names.
const std::array<const char*, 6> regions = {"Europe",  "Americas", "Asia", "Middle East and Africa",
                                            "Oceania", "Nordics"};
const std::array<std::array<const char*, 2>, 24> countries = {{
    {"JP", "Japan"},          {"US", "United States of America"},
    {"GB", "United Kingdom"}, {"DE", "Germany"},
    {"FR", "France"},         {"IT", "Italy"},
    {"CA", "Canada"},         {"BR", "Brazil"},
    {"MX", "Mexico"},         {"CN", "China"},
    {"IN", "India"},          {"KR", "Korea"},
    {"SG", "Singapore"},      {"AU", "Australia"},
    {"NZ", "New Zealand"},    {"EG", "Egypt"},
    {"ZA", "South Africa"},   {"IL", "Israel"},
    {"SE", "Sweden"},         {"NO", "Norway"},
    {"DK", "Denmark"},        {"NL", "Netherlands"},
    {"CH", "Switzerland"},    {"AR", "Argentina"},
}};
const std::array<int, 24> countryRegion = {3, 2, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3,
                                           3, 5, 5, 4, 4, 4, 6, 6, 6, 1, 1, 2};
const std::array<const char*, 12> departments = {
    "Administration",   "Marketing", "Purchasing", "Human Resources", "Shipping",   "IT",
    "Public Relations", "Sales",     "Executive",  "Finance",         "Accounting", "Research"};
const std::array<const char*, 24> firstNames = {
    "Hiroshi", "Yuki",  "Kenji",  "Akiko", "Taro",  "Emma",  "Liam",  "Olivia",
    "Noah",    "Ava",   "Sophia", "Lucas", "Mia",   "Ethan", "Hana",  "Sakura",
    "Daniel",  "Grace", "Oscar",  "Chloe", "Mateo", "Isla",  "Felix", "Nora"};
const std::array<const char*, 24> lastNames = {
    "Sato",  "Suzuki", "Takahashi", "Tanaka", "Watanabe", "Ito",    "Yamamoto", "Nakamura",
    "Smith", "Jones",  "Brown",     "Taylor", "Wilson",   "Martin", "Garcia",   "Muller",
    "Rossi", "Dubois", "Silva",     "Kim",    "Chen",     "Singh",  "Larsen",   "Novak"};
const std::array<const char*, 10> jobs = {
    "President",  "Vice President", "Manager",          "Accountant", "Sales Representative",
    "Programmer", "Clerk",          "Purchasing Agent", "Analyst",    "Stock Clerk"};
const std::array<const char*, 16> cities = {
    "Tokyo",  "Osaka", "Nagoya", "Sapporo", "Fukuoka", "Seattle",   "Boston", "London",
    "Berlin", "Paris", "Milan",  "Toronto", "Sydney",  "Singapore", "Seoul",  "Oslo"};
const std::array<const char*, 12> nouns = {"Monitor", "Keyboard", "Mouse", "Laptop",
                                           "Printer", "Router",   "Cable", "Desk",
                                           "Chair",   "Lamp",     "Drive", "Camera"};
const std::array<const char*, 8> adjectives = {"Compact",  "Pro",   "Ultra", "Basic",
                                               "Wireless", "Smart", "Heavy", "Mini"};
const std::array<const char*, 4> statuses = {"orderable", "planned", "obsolete", "orderable"};
const std::array<const char*, 5> orderStatuses = {"NEW", "SHIPPED", "SHIPPED", "CLOSED",
                                                  "CANCELLED"};
const std::array<const char*, 4> channels = {"DIRECT", "INTERNET", "PARTNER", "INTERNET"};

void fillRegions(sqlite3* db) {
    Inserter ins(db, "INSERT INTO REGIONS VALUES (?,?)");
    for (int i = 0; i < static_cast<int>(regions.size()); ++i)
        ins.row({std::int64_t{i + 1}, std::string(regions[static_cast<std::size_t>(i)])});
}

void fillCountries(sqlite3* db) {
    Inserter ins(db, "INSERT INTO COUNTRIES VALUES (?,?,?)");
    for (std::size_t i = 0; i < countries.size(); ++i)
        ins.row({std::string(countries[i][0]), std::string(countries[i][1]),
                 std::int64_t{countryRegion[i]}});
}

void fillDepartments(sqlite3* db) {
    Inserter ins(db, "INSERT INTO DEPARTMENTS VALUES (?,?,?,?)");
    for (std::size_t i = 0; i < departments.size(); ++i)
        ins.row({std::int64_t(10 * (i + 1)), std::string(departments[i]), std::int64_t(100 + i),
                 std::string(countries[i % 6][0])});
}

void fillEmployees(sqlite3* db, Random& r) {
    // A management tree: employee 100 at the top, each later one
    // reporting to an earlier one, so the hierarchy is a few levels deep.
    Inserter ins(db, "INSERT INTO EMPLOYEES VALUES (?,?,?,?,?,?,?,?,?)");
    for (int i = 0; i < kEmployees; ++i) {
        const int id = 100 + i;
        const std::string first = pick(r, firstNames);
        const std::string last = pick(r, lastNames);
        Value manager;
        if (i > 0)
            manager = std::int64_t{100 + (i < 12 ? 0 : r.below(i / 3 + 1))};
        ins.row({std::int64_t{id}, first, last,
                 first + "." + last + "." + std::to_string(id) + "@example.com",
                 dayText(r.below(1800)), std::string(i == 0 ? "President" : pick(r, jobs)),
                 money(r.between(300000, 2500000)), manager, std::int64_t(10 * (1 + i % 12))});
    }
}

void fillCustomers(sqlite3* db, Random& r) {
    Inserter ins(db, "INSERT INTO CUSTOMERS VALUES (?,?,?,?,?,?,?,?)");
    for (int i = 0; i < kCustomers; ++i) {
        const int id = 1000 + i;
        const std::string name = std::string(pick(r, firstNames)) + " " + pick(r, lastNames);
        Value email;
        if (r.below(10) != 0)
            email = "customer" + std::to_string(id) + "@example.net";
        const auto& c =
            countries[static_cast<std::size_t>(r.below(static_cast<int>(countries.size())))];
        ins.row({std::int64_t{id}, name, email, std::string(c[0]), std::string(pick(r, cities)),
                 money(100 * r.between(10, 500) * 100), std::int64_t{100 + r.below(kEmployees)},
                 dayText(r.below(2000))});
    }
}

void fillCategories(sqlite3* db) {
    Inserter ins(db, "INSERT INTO CATEGORIES VALUES (?,?,?)");
    for (int i = 0; i < 4; ++i)
        ins.row({std::int64_t{i + 1},
                 std::string(adjectives[static_cast<std::size_t>(i)]) + " goods", Value{}});
    for (int i = 0; i < static_cast<int>(nouns.size()); ++i)
        ins.row({std::int64_t{10 + i}, std::string(nouns[static_cast<std::size_t>(i)]) + "s",
                 std::int64_t{1 + i % 4}});
}

void fillProducts(sqlite3* db, Random& r) {
    Inserter ins(db, "INSERT INTO PRODUCTS VALUES (?,?,?,?,?,?,?)");
    for (int i = 0; i < kProducts; ++i) {
        const int id = 2000 + i;
        char code[16];
        std::snprintf(code, sizeof code, "P-%05d", (i * 7919) % 100000);
        const int noun = r.below(static_cast<int>(nouns.size()));
        const int price = r.between(500, 250000);
        ins.row({std::int64_t{id}, std::string(code),
                 std::string(pick(r, adjectives)) + " " + nouns[static_cast<std::size_t>(noun)] +
                     " " + std::to_string(100 + i),
                 std::int64_t{10 + noun}, money(price), money(price * 8 / 10),
                 std::string(pick(r, statuses))});
    }
}

void fillWarehouses(sqlite3* db) {
    Inserter ins(db, "INSERT INTO WAREHOUSES VALUES (?,?,?)");
    for (int i = 0; i < kWarehouses; ++i)
        ins.row({std::int64_t{i + 1}, std::string(cities[static_cast<std::size_t>(i)]) + " Depot",
                 std::string(countries[static_cast<std::size_t>(i)][0])});
}

void fillInventories(sqlite3* db, Random& r) {
    Inserter ins(db, "INSERT INTO INVENTORIES VALUES (?,?,?)");
    for (int p = 0; p < kProducts; ++p)
        for (int w = 1; w <= kWarehouses; w += 2)
            ins.row(
                {std::int64_t{2000 + p}, std::int64_t{w + (p % 2)}, std::int64_t{r.below(500)}});
}

void fillOrders(sqlite3* db, Random& r) {
    Inserter orders(db, "INSERT INTO ORDERS VALUES (?,?,?,?,?,?)");
    Inserter items(db, "INSERT INTO ORDER_ITEMS VALUES (?,?,?,?,?)");
    for (int i = 0; i < kOrders; ++i) {
        const int id = 50000 + i;
        const int lines = r.between(1, 5);
        std::int64_t total = 0;
        for (int l = 1; l <= lines; ++l) {
            const int product = 2000 + r.below(kProducts);
            const int price = r.between(500, 250000);
            const int qty = r.between(1, 20);
            total += static_cast<std::int64_t>(price) * qty;
            items.row({std::int64_t{id}, std::int64_t{l}, std::int64_t{product}, money(price),
                       std::int64_t{qty}});
        }
        Value rep;
        if (r.below(4) != 0)
            rep = std::int64_t{100 + r.below(kEmployees)};
        orders.row({std::int64_t{id}, dayText(i * 2000 / kOrders, r.below(86400)),
                    std::int64_t{1000 + r.below(kCustomers)}, std::string(pick(r, orderStatuses)),
                    rep, static_cast<double>(total) / 100.0});
    }
}

void fillSales(sqlite3* db, Random& r) {
    Inserter ins(db, "INSERT INTO SALES_HISTORY VALUES (?,?,?,?,?,?)");
    for (int i = 0; i < kSales; ++i) {
        const int qty = r.between(1, 10);
        ins.row({dayText(r.below(2000)), std::int64_t{2000 + r.below(kProducts)},
                 std::int64_t{1000 + r.below(kCustomers)}, std::string(pick(r, channels)),
                 std::int64_t{qty}, money(qty * r.between(500, 100000))});
    }
}

// The rows of every table, drawn from one fixed-seed generator in this
// order, so every build holds the same data.
void fill(sqlite3* db) {
    Random r;
    fillRegions(db);
    fillCountries(db);
    fillDepartments(db);
    fillEmployees(db, r);
    fillCustomers(db, r);
    fillCategories(db);
    fillProducts(db, r);
    fillWarehouses(db);
    fillInventories(db, r);
    fillOrders(db, r);
    fillSales(db, r);
}

}  // namespace

void buildSampleDatabase(sqlite3* db) {
    exec(db, "BEGIN");
    try {
        for (const char* sql : kSchema)
            exec(db, sql);
        fill(db);
        for (const char* sql : kIndexes)
            exec(db, sql);
        exec(db, "ANALYZE");
        exec(db, "COMMIT");
    } catch (...) {
        sqlite::execQuietly(db, "ROLLBACK");
        throw;
    }
}

}  // namespace localengine
