#include "PlsqlBlock.h"

#include "dialect/Lexer.h"

#include <cctype>

namespace localengine {

bool isAnonymousBlock(const std::string& oracleSql) {
    // The first word after blanks and comments, without tokenizing the rest.
    std::size_t i = 0;
    const std::size_t n = oracleSql.size();
    while (i < n) {
        if (std::isspace(static_cast<unsigned char>(oracleSql[i]))) {
            ++i;
        } else if (oracleSql.compare(i, 2, "--") == 0) {
            const std::size_t eol = oracleSql.find('\n', i);
            i = eol == std::string::npos ? n : eol + 1;
        } else if (oracleSql.compare(i, 2, "/*") == 0) {
            const std::size_t close = oracleSql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
        } else {
            break;
        }
    }
    std::size_t end = i;
    while (end < n && (std::isalnum(static_cast<unsigned char>(oracleSql[end])) ||
                       oracleSql[end] == '_' || oracleSql[end] == '$' || oracleSql[end] == '#'))
        ++end;
    const std::string word = dialect::upperAscii(oracleSql.substr(i, end - i));
    return word == "BEGIN" || word == "DECLARE";
}

}  // namespace localengine
