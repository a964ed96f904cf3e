// The capture file reader on any file contents: it delivers exactly the
// complete records in front of the first damaged one, each inside the
// reader's own buffer, and a second first() starts over. Every record also
// goes through the text trace writer (to a null standard output).
#include <fcntl.h>
#include <unistd.h>

#include "caplib.h"
#include "fuzz/capture_model.h"
#include "fuzz/fuzz_support.h"

namespace {

void write_file(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

void check_record(const CAPLIB_PAKET *p, const fuzz::Record &want, uint32_t number) {
    FUZZ_CHECK(fuzz::same(*p, want));
    FUZZ_CHECK(p->number == number);
    if (p->name && p->length) {
        size_t n = std::strlen(p->name);
        FUZZ_CHECK(reinterpret_cast<const unsigned char *>(p->name) + n < p->data);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The trace goes nowhere; libFuzzer reports on standard error.
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string base = fuzz::scratch_base();
    const std::string path = base + ".eth";
    write_file(path, data, size);
    std::optional<fuzz::Capture> want = fuzz::parse(std::string(reinterpret_cast<const char *>(data), size));

    CAPLIB_INPUT *in = CAPLIB_input_zekbin(base.c_str());
    FUZZ_CHECK((in != nullptr) == want.has_value());
    if (!in) return 0;
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(in->info[i] == want->info[i]);

    uint32_t count = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        FUZZ_CHECK(count < want->records.size());
        check_record(p, want->records[count], count + 1);
        ++count;
    }
    FUZZ_CHECK(count == want->records.size());
    FUZZ_CHECK(CAPLIB_input_next(in) == nullptr);

    // Starting over delivers the same records; numbers keep counting.
    CAPLIB_OUTPUT *trace = CAPLIB_output_ascii("-", "\n", CAPLIB_ASCII_HEXDUMP);
    FUZZ_CHECK(trace != nullptr);
    FUZZ_CHECK(CAPLIB_output_header(trace, in) == 0);
    uint32_t again = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        FUZZ_CHECK(again < count);
        check_record(p, want->records[again], count + again + 1);
        int rc = CAPLIB_output_paket(trace, p);
        // Only a name that fills the trace's line buffer can fail a record.
        FUZZ_CHECK(rc == 0 || (rc == CAPLIB_ERR_FORMAT && p->name && std::strlen(p->name) > 8000));
        ++again;
    }
    FUZZ_CHECK(again == count);
    CAPLIB_output_close(trace, 0);
    CAPLIB_input_close(in);
    return 0;
}
