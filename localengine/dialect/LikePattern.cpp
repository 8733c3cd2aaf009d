#include "LikePattern.h"

namespace localengine::dialect {

namespace {

// The bytes of the UTF-8 character starting at `at`.
std::size_t characterBytes(std::string_view s, std::size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return at + n <= s.size() ? n : s.size() - at;
}

void appendLiteral(std::string& glob, std::string_view character) {
    if (character == "*" || character == "?" || character == "[")
        glob.append("[").append(character).append("]");
    else
        glob.append(character);
}

}  // namespace

std::optional<std::string> likeToGlob(std::string_view pattern,
                                      std::optional<std::string_view> escape) {
    if (escape && (escape->empty() || characterBytes(*escape, 0) != escape->size()))
        return std::nullopt;
    std::string glob;
    glob.reserve(pattern.size() + 8);
    for (std::size_t at = 0; at < pattern.size();) {
        const std::string_view character = pattern.substr(at, characterBytes(pattern, at));
        at += character.size();
        if (escape && character == *escape) {
            if (at >= pattern.size())
                return std::nullopt;
            const std::string_view next = pattern.substr(at, characterBytes(pattern, at));
            if (next != "%" && next != "_" && next != *escape)
                return std::nullopt;
            appendLiteral(glob, next);
            at += next.size();
        } else if (character == "%") {
            glob += '*';
        } else if (character == "_") {
            glob += '?';
        } else {
            appendLiteral(glob, character);
        }
    }
    return glob;
}

}  // namespace localengine::dialect
