#include "Error.h"

#include <cstdio>

namespace localengine::dialect {

std::string DialectError::oraPrefix(int code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "ORA-%05d: ", code);
    return buffer;
}

void fail(int oraCode, const std::string& text) {
    throw DialectError(oraCode, text);
}

void unsupported(const std::string& construct) {
    throw DialectError(ora::kUnimplemented, "unimplemented feature: " + construct);
}

}  // namespace localengine::dialect
