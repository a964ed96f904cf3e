// Value-to-name tables shared by the decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace caplib {

struct Named {
    uint16_t value;
    const char *text;
};

// The name of value in table, nullptr when the table has none.
template <size_t N>
constexpr const char *name_of(const std::array<Named, N> &table, uint16_t value) {
    for (const Named &n : table)
        if (n.value == value) return n.text;
    return nullptr;
}

}  // namespace caplib
