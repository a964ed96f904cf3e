// Value-to-name tables shared by the decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace caplib {

struct Named {
    uint16_t value;
    const char *text;
};

// The first row of a table whose `field` equals key; nullptr when none.
template <typename Table, typename Field, typename Key>
constexpr auto find(const Table &table, Field field, const Key &key) -> decltype(&*std::begin(table)) {
    for (const auto &row : table)
        if (row.*field == key) return &row;
    return nullptr;
}

// The name of value in table, nullptr when the table has none.
template <typename Table>
constexpr const char *name_of(const Table &table, uint16_t value) {
    const Named *n = find(table, &Named::value, value);
    return n ? n->text : nullptr;
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
