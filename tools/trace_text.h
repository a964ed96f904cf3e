// The text trace of one record at a time, exactly as the library's text
// writer prints it, but under a number the caller gives: a filtered trace
// keeps the numbers of its input. Nothing is shared between objects, and
// nothing is allocated per record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "caplib.h"

namespace caplib_tool {

class TraceText {
public:
    static constexpr size_t kLine = 8192;  // the line buffer of the library's writer
    static constexpr size_t kText = 2 * kLine;  // the most a record's text takes, its dump included

    TraceText(std::string separator, bool hex);

    // The header line, the decoded lines and, with hex, the hex dump of p
    // numbered number; empty when the header line does not fit the line
    // buffer. Valid until the next call.
    std::string_view compose(const CAPLIB_PAKET &p, uint32_t number);
    // The same into out, which has room for kText bytes: the length, 0
    // when the header line does not fit.
    size_t compose(const CAPLIB_PAKET &p, uint32_t number, char *out);

private:
    // A text kept for the next records while their code stays the same.
    struct Piece {
        uint64_t key = UINT64_MAX;
        std::string text;
    };
    size_t header(const CAPLIB_PAKET &p, uint32_t number, std::string_view time, std::string_view name, char *out);
    std::string_view time_text(const CAPLIB_TIMEVAL &t);

    std::string sep_;
    bool hex_;
    // The date and time of the last second seen, its milliseconds put
    // behind per record: converting a second costs a time-zone lookup.
    // Keyed by the exact second, it stays right across daylight-saving
    // switches.
    int64_t second_ = INT64_MIN;
    size_t date_len_ = 0;  // 0: the second has no local time ("?DATE?")
    char time_[64];
    Piece layer_, attribute_;  // " Ethernet <<< ", " Normal"
    char text_[kText];  // the record's text, its dump behind it
};

// A sink that prints each record with TraceText under the record's own
// number into stream, flushed after each record unless buffered. paket
// returns -1 when the header line does not fit, -2 when writing fails
// (errno set). The stream stays open.
CAPLIB_OUTPUT *trace_output(FILE *stream, const std::string &separator, bool hex, bool buffered);

}  // namespace caplib_tool
