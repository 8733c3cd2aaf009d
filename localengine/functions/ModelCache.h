#pragma once
// The format models read last on this thread, by their text. A query
// formats every row with the same model, and reading a model costs more
// than formatting one value with it; a model that fails to read is not
// kept (its error is raised again on the next call).

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace localengine::functions {

template <typename Model>
class ModelCache {
public:
    // The model of `text`, read by `read(text)` when it is not kept.
    template <typename Read>
    std::shared_ptr<const Model> get(std::string_view text, Read&& read) {
        for (const Entry& e : m_entries)
            if (e.model && e.text == text)
                return e.model;
        auto model = std::make_shared<const Model>(read(text));
        if (text.size() <= kLongestKept) {
            Entry& slot = m_entries[m_next];
            m_next = (m_next + 1) % m_entries.size();
            slot.text.assign(text);
            slot.model = model;
        }
        return model;
    }

private:
    static constexpr std::size_t kLongestKept = 256;
    struct Entry {
        std::string text;
        std::shared_ptr<const Model> model;
    };
    std::array<Entry, 8> m_entries;
    std::size_t m_next = 0;
};

}  // namespace localengine::functions
