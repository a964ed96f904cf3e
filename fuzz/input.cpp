// The tool's input reader on any bytes, through the sniffing entry the
// tool uses, from a memory stream: every record's bytes are bytes of the
// input, a capture file gives exactly the records the library's reader
// gives, reading again from the start gives the same records, and two
// readings of the same bytes give the same result.
#include <cstdio>
#include <string>
#include <vector>

#include "caplib.h"
#include "fuzz/capture_model.h"
#include "fuzz/fuzz_support.h"
#include "tools/input.h"

namespace {

struct Reading {
    bool opened = false;
    caplib_tool::InputFormat format{};
    std::vector<std::string> records;  // each record's fields, name and bytes
    std::string text;                  // the error, damage and skipped lines
};

std::string fields(const CAPLIB_PAKET &p) {
    std::string s = std::to_string(p.layer) + " " + std::to_string(p.direction) + " " +
                    std::to_string(p.time.tv_sec) + " " + std::to_string(p.time.tv_usec) + " " +
                    std::to_string(p.orig_length) + " " + (p.name ? p.name : "<null>") + " ";
    return s.append(reinterpret_cast<const char *>(p.data), p.length);
}

void check_record(const CAPLIB_PAKET &p, const std::string &input, caplib_tool::InputFormat format) {
    FUZZ_CHECK(p.data != nullptr);
    // The bytes are read whole here, so the sanitizer sees any that are not the reader's.
    std::string bytes(reinterpret_cast<const char *>(p.data), p.length);
    FUZZ_CHECK(input.find(bytes) != std::string::npos);
    if (format != caplib_tool::InputFormat::capture) {
        FUZZ_CHECK(p.name != nullptr);
        std::string name = p.name;
        FUZZ_CHECK(!name.empty() && name.size() <= 255);
        for (char c : name) FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    }
}

// want: the capture file the input is, by the model, if it is one.
Reading read(const std::string &input, const std::optional<fuzz::Capture> &want) {
    Reading r;
    static char empty;
    FILE *f = fmemopen(input.empty() ? &empty : const_cast<char *>(input.data()), input.size(), "rb");
    FUZZ_CHECK(f != nullptr);
    caplib_tool::InputReport report;
    std::string error;
    CAPLIB_INPUT *in = caplib_tool::open_input_stream(f, "in", nullptr, report, error);
    if (!in) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        r.text = error;
        return r;
    }
    r.opened = true;
    r.format = report.format;
    FUZZ_CHECK(want.has_value() == (report.format == caplib_tool::InputFormat::capture));
    uint32_t number = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        check_record(*p, input, report.format);
        if (want) {
            FUZZ_CHECK(r.records.size() < want->records.size());
            FUZZ_CHECK(fuzz::same(*p, want->records[r.records.size()]));
        }
        FUZZ_CHECK(p->number == ++number);
        r.records.push_back(fields(*p));
    }
    if (want) FUZZ_CHECK(r.records.size() == want->records.size());
    FUZZ_CHECK(report.converted == r.records.size());
    FUZZ_CHECK(report.frames == report.converted + report.skipped());
    r.text = report.damage_text("in", "read") + "\n" + report.skipped_text("in");
    // A memory stream seeks: the start again gives the same, numbers going on.
    size_t again = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in), ++again) {
        FUZZ_CHECK(again < r.records.size());
        FUZZ_CHECK(fields(*p) == r.records[again]);
        FUZZ_CHECK(p->number == ++number);
    }
    FUZZ_CHECK(again == r.records.size());
    FUZZ_CHECK(r.text == report.damage_text("in", "read") + "\n" + report.skipped_text("in"));
    CAPLIB_input_close(in);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::optional<fuzz::Capture> want = fuzz::parse(input);
    Reading r = read(input, want);
    FUZZ_CHECK(r.opened || !want);
    Reading again = read(input, want);
    FUZZ_CHECK(again.records == r.records && again.text == r.text);
    return 0;
}
