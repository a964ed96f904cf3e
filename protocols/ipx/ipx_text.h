// Value-name tables of the IPX family.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Kept in its own namespace: other families have their own helpers.
namespace caplib::ipx {

struct Named {
    uint16_t value;
    const char *text;
};

// The text for value, nullptr when the table has none.
template <size_t N>
const char *name_of(const std::array<Named, N> &table, uint16_t value) {
    for (const Named &n : table)
        if (n.value == value) return n.text;
    return nullptr;
}

}  // namespace caplib::ipx
