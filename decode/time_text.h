// The time text of a record: local date and time with milliseconds,
// "dd.mm.yyyy hh:mm:ss.mmm", or "?DATE?" when the platform cannot convert
// the second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "caplib.h"

namespace caplib {

// Writes the text of t into out (at least kTimeTextRoom bytes, NUL
// included) and returns its length.
inline constexpr size_t kTimeTextRoom = 64;
size_t time_text(const CAPLIB_TIMEVAL &t, char *out);

// The same text for a stream of records. Converting a second costs a
// time-zone lookup; records come many to a second, so the date and time
// of the last second are kept and only the milliseconds change. Keyed by
// the exact second, the text stays right across daylight-saving switches.
// The zone is the one localtime_r uses: read from TZ at the first
// conversion, and again whenever the program calls tzset.
class TimeTextCache {
public:
    TimeTextCache();
    std::string_view text(const CAPLIB_TIMEVAL &t);

private:
    int64_t second_;  // whose date and time are in text_; out of int32 range when none
    size_t date_len_ = 0;
    bool converted_ = false;  // false: the second has no local time ("?DATE?")
    char text_[kTimeTextRoom];
};

}  // namespace caplib
