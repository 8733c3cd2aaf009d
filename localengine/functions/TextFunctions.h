#pragma once
// Oracle's character functions over UTF-8 text, counting characters (code
// points) where Oracle counts characters and bytes for the ...B forms.
// An empty result is returned as nullopt: Oracle has no empty VARCHAR2, so
// the caller gives NULL.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace localengine::functions {

using Text = std::optional<std::string>;

// Characters of UTF-8 text: a lead byte with the continuation bytes it
// announces; any other byte counts as a character of its own.
std::size_t charBytes(std::string_view s, std::size_t at);
std::size_t charLength(std::string_view s);

// SUBSTR(s, position[, length]): position 0 counts as 1, a negative one
// counts from the end.
Text substr(std::string_view s, std::int64_t position,
            std::optional<std::int64_t> length = std::nullopt);
Text substrb(std::string_view s, std::int64_t position,
             std::optional<std::int64_t> length = std::nullopt);
// INSTR(s, sub, position, occurrence): 0 when not found; a negative
// position searches backward from that many characters before the end.
// An occurrence below 1 raises ORA-01428.
std::int64_t instr(std::string_view s, std::string_view sub, std::int64_t position = 1,
                   std::int64_t occurrence = 1);
std::int64_t instrb(std::string_view s, std::string_view sub, std::int64_t position = 1,
                    std::int64_t occurrence = 1);

enum class TrimSide { Leading, Trailing, Both };
// TRIM([side] [c FROM] s): `c` is one character (ORA-30001 otherwise).
Text trim(std::string_view s, TrimSide side, std::string_view c = " ");
// LTRIM/RTRIM(s, set): every character of `set` is removed from that end.
Text trimSet(std::string_view s, TrimSide side, std::string_view set = " ");

Text translate(std::string_view s, std::string_view from, std::string_view to);
// A result longer than `maxBytes` throws std::length_error before it is
// built in full.
Text replace(std::string_view s, std::string_view search, std::string_view with = {},
             std::size_t maxBytes = SIZE_MAX);
Text initcap(std::string_view s);
// ASCII(c): the bytes of the first character as a big-endian number, as
// Oracle gives the code in the database character set; CHR is its inverse.
std::int64_t ascii(std::string_view s);
Text chr(std::int64_t code);
Text soundex(std::string_view s);

}  // namespace localengine::functions
