#include "FieldValues.h"

#include <cmath>

namespace oraobj {

QVariant fieldValue(const QVariant& value) {
    if (value.isNull()) {
        return QVariant();
    }
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e18) {
            return QVariant(qlonglong(number));
        }
    }
    return value;
}

}  // namespace oraobj
