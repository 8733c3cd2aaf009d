#pragma once
// What unixODBC knows: the configured data sources and the installed drivers,
// read through the driver manager so that ODBCINI and ODBCSYSINI are honoured
// exactly as the ODBC driver itself will honour them.

#include <QStringList>

namespace oraobj {

// Names of the configured data sources (user and system).
QStringList odbcDataSources();

// Names of the installed drivers (the sections of odbcinst.ini).
QStringList odbcDrivers();

}  // namespace oraobj
