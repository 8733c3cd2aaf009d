#pragma once
// Field values as the component hands them out, whatever route they came by.

#include <QVariant>

namespace oraobj {

// A whole floating-point number becomes an integer, so that it reads as
// Oracle prints it ("2", "1000000000000000", never "2.0" or "1e+15") and
// converts with toInt/toLongLong; a driver's typed null becomes the plain
// null QVariant. Other values are returned unchanged.
QVariant fieldValue(const QVariant& value);

}  // namespace oraobj
