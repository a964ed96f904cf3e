// The text trace writer against a plain model of its output (formatted
// writes, localtime, the general hex dump loop) for any records, any
// separator, and every mode. Input: flags (bit 0 hex dump, bit 1
// buffered), separator selector and bytes, then records as the round trip
// reads them (flags byte, nine fields, name, data).
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "caplib.h"
#include "fuzz/capture_model.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/trace_model.h"

namespace {

constexpr uint64_t kMaxBytes = 1 << 18;  // of record data per input, to keep runs fast

std::string read_all(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    FUZZ_CHECK(f.good());
    return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // A zone with daylight-saving switches, as a rule so that no zone file
    // is needed: the cached time text must follow both.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input in(data, size);
    const uint32_t flags = in.u8() & (CAPLIB_ASCII_HEXDUMP | CAPLIB_ASCII_BUFFERED);
    std::string sep_storage;
    const char *sep = fuzz::separator(in, sep_storage);
    const char *written_sep = sep ? sep : "\n";  // the writer's default

    const std::string base = fuzz::scratch_base();
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), sep, flags);
    FUZZ_CHECK(out != nullptr);
    std::string want;
    uint32_t count = 0;
    for (uint64_t bytes = 0; in.left() && bytes < kMaxBytes;) {
        const fuzz::Record r = fuzz::read_record(in, in.u8());
        bytes += r.name.size() + r.data.size();
        CAPLIB_PAKET p = fuzz::as_paket(r);
        const int rc = CAPLIB_output_paket(out, &p);
        const std::string text = fuzz::reference_record(++count, p, written_sep);
        FUZZ_CHECK(rc == (text.empty() ? CAPLIB_ERR_FORMAT : CAPLIB_OK));
        if (text.empty()) continue;
        want += text;
        if (flags & CAPLIB_ASCII_HEXDUMP)
            fuzz::reference_dump(want, p.data, static_cast<int32_t>(p.length), written_sep, fuzz::kTraceLine);
    }
    CAPLIB_output_close(out, 0);
    const std::string path = base + ".log";
    FUZZ_CHECK(read_all(path) == want);
    unlink(path.c_str());
    return 0;
}
