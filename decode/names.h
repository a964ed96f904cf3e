// Value-to-name tables shared by the decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// A name, or a number when there is none, held by the caller: two texts
// taken at once never share storage.
class NameOrNumber {
public:
    NameOrNumber(const char *name) : name_(name) {}
    // `format` has one unsigned conversion and fits the number's place.
    NameOrNumber(const char *format, unsigned number) {
        std::snprintf(number_, sizeof number_, format, number);
    }
    const char *c_str() const { return name_ ? name_ : number_; }

private:
    const char *name_ = nullptr;
    char number_[12] = {};
};

}  // namespace caplib
