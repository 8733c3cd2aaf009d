#pragma once
// The names Oracle gives the steps of a plan, as PLAN_TABLE holds them in
// its OPERATION, OPTIONS and OBJECT_TYPE columns: every name the mapping
// writes comes from here.

namespace localengine::explain::ora {

// OPERATION
inline constexpr char TableAccess[] = "TABLE ACCESS";
inline constexpr char Index[] = "INDEX";
inline constexpr char View[] = "VIEW";
inline constexpr char Sort[] = "SORT";
inline constexpr char Hash[] = "HASH";
inline constexpr char Filter[] = "FILTER";
inline constexpr char NestedLoops[] = "NESTED LOOPS";
inline constexpr char HashJoin[] = "HASH JOIN";
inline constexpr char JoinFilter[] = "JOIN FILTER";
inline constexpr char Concatenation[] = "CONCATENATION";
inline constexpr char InlistIterator[] = "INLIST ITERATOR";
inline constexpr char Count[] = "COUNT";
inline constexpr char ConnectBy[] = "CONNECT BY";
inline constexpr char ConnectByPump[] = "CONNECT BY PUMP";
inline constexpr char Window[] = "WINDOW";
inline constexpr char TempTableTransformation[] = "TEMP TABLE TRANSFORMATION";
inline constexpr char UnionAll[] = "UNION-ALL";
inline constexpr char Minus[] = "MINUS";
inline constexpr char Intersection[] = "INTERSECTION";
inline constexpr char RecursiveUnion[] = "UNION ALL (RECURSIVE WITH)";
inline constexpr char RecursivePump[] = "RECURSIVE WITH PUMP";
inline constexpr char FastDual[] = "FAST DUAL";
inline constexpr char CollectionIterator[] = "COLLECTION ITERATOR";
inline constexpr char DomainIndex[] = "DOMAIN INDEX";
inline constexpr char ExternalTableAccess[] = "EXTERNAL TABLE ACCESS";
inline constexpr char LoadTableConventional[] = "LOAD TABLE CONVENTIONAL";
inline constexpr char LoadAsSelect[] = "LOAD AS SELECT";
inline constexpr char Update[] = "UPDATE";
inline constexpr char Delete[] = "DELETE";
inline constexpr char IndexBuild[] = "INDEX BUILD";
inline constexpr char StatementSuffix[] = " STATEMENT";  // after the verb: SELECT STATEMENT

// OPTIONS
inline constexpr char Full[] = "FULL";
inline constexpr char ByIndexRowid[] = "BY INDEX ROWID";
inline constexpr char ByUserRowid[] = "BY USER ROWID";
inline constexpr char ByRowidRange[] = "BY ROWID RANGE";
inline constexpr char UniqueScan[] = "UNIQUE SCAN";
inline constexpr char RangeScan[] = "RANGE SCAN";
inline constexpr char RangeScanMinMax[] = "RANGE SCAN (MIN/MAX)";
inline constexpr char SkipScan[] = "SKIP SCAN";
inline constexpr char FullScan[] = "FULL SCAN";
inline constexpr char FullScanMinMax[] = "FULL SCAN (MIN/MAX)";
inline constexpr char FastFullScan[] = "FAST FULL SCAN";
inline constexpr char Unique[] = "UNIQUE";
inline constexpr char UniqueNoSort[] = "UNIQUE NOSORT";
inline constexpr char OrderBy[] = "ORDER BY";
inline constexpr char OrderByStopKey[] = "ORDER BY STOPKEY";
inline constexpr char GroupBy[] = "GROUP BY";
inline constexpr char GroupByNoSort[] = "GROUP BY NOSORT";
inline constexpr char Aggregate[] = "AGGREGATE";
inline constexpr char StopKey[] = "STOPKEY";
inline constexpr char WithFiltering[] = "WITH FILTERING";
inline constexpr char NoFilteringWithStartWith[] = "NO FILTERING WITH START-WITH";
inline constexpr char WindowSort[] = "SORT";
inline constexpr char WindowBuffer[] = "BUFFER";
inline constexpr char SortPushedRank[] = "SORT PUSHED RANK";
inline constexpr char NoSortStopKey[] = "NOSORT STOPKEY";
inline constexpr char Semi[] = "SEMI";
inline constexpr char Anti[] = "ANTI";
inline constexpr char AntiNullAware[] = "ANTI NA";
inline constexpr char Outer[] = "OUTER";
inline constexpr char RightOuter[] = "RIGHT OUTER";
inline constexpr char FullOuter[] = "FULL OUTER";
inline constexpr char Use[] = "USE";
inline constexpr char BreadthFirst[] = "BREADTH FIRST";
inline constexpr char PicklerFetch[] = "PICKLER FETCH";
inline constexpr char CreateIndex[] = "CREATE INDEX";
inline constexpr char NonUnique[] = "NON UNIQUE";
inline constexpr char CursorDurationMemory[] = "(CURSOR DURATION MEMORY)";

// OBJECT_TYPE
inline constexpr char TableType[] = "TABLE";
inline constexpr char IndexType[] = "INDEX";
inline constexpr char UniqueIndexType[] = "INDEX (UNIQUE)";
inline constexpr char ViewType[] = "VIEW";
inline constexpr char TemporaryTableType[] = "TABLE (TEMP)";

// OBJECT_OWNER of the objects Oracle makes for a statement (its
// cursor-duration temporary tables)
inline constexpr char SystemOwner[] = "SYS";

// OPTIMIZER of the statement row
inline constexpr char AllRows[] = "ALL_ROWS";

}  // namespace localengine::explain::ora
