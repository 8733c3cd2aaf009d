#pragma once
// Oracle's LIKE tells upper from lower case; SQLite's LIKE does not, and
// switching it (PRAGMA case_sensitive_like) replaces the built-in function
// with one that a user's file may no longer call from a CHECK or a view.
// GLOB is SQLite's case-sensitive pattern match, built in and usable by
// an index for a fixed prefix, so a LIKE pattern is written as a GLOB one.

#include <optional>
#include <string>
#include <string_view>

namespace localengine::dialect {

// The GLOB pattern matching what `pattern` matches under LIKE: % is *, _ is
// ?, and GLOB's own *, ? and [ are bracketed. With an escape character the
// character after it is literal. Empty when Oracle would refuse the pattern
// (an escape of more than one character, or one followed by anything but
// %, _ or itself), so that the caller leaves the error to run time.
std::optional<std::string> likeToGlob(std::string_view pattern,
                                      std::optional<std::string_view> escape);

}  // namespace localengine::dialect
