#pragma once
// Upper and lower case of UTF-8 text for every letter Unicode gives a case,
// not only ASCII's (SQLite's UPPER and LOWER stop there): through the C
// library's wide-character mapping under its C.UTF-8 locale.

#include <string>
#include <string_view>

namespace localengine::functions {

enum class LetterCase { Upper, Lower };

std::string withCase(std::string_view utf8, LetterCase to);

// INITCAP: the first letter of each word upper case, the others lower case;
// words are delimited by characters that are neither letters nor digits.
std::string initialCaps(std::string_view utf8);

}  // namespace localengine::functions
