// floor: the least a per-record text trace can cost. Reads every record
// of a capture through the library's reader and writes one formatted line
// per record with a flush after each, as the trace writer's default mode
// does; no decoding.
//   floor CAPTURE.eth   (output to standard output)
#include <cstdio>

#include "caplib.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: floor CAPTURE.eth\n", stderr);
        return 2;
    }
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(argv[1]);
    if (!in) {
        std::fprintf(stderr, "floor: cannot read %s\n", argv[1]);
        return 1;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    unsigned long n = 0;
    int rc = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p && rc == 0; p = CAPLIB_input_next(in)) {
        if (std::printf("%lu. %d.%06d %s %u/%u\n", ++n, p->time.tv_sec, p->time.tv_usec,
                        p->name ? p->name : "-", p->length, p->orig_length) < 0 ||
            std::fflush(stdout) != 0)
            rc = 1;
    }
    CAPLIB_input_close(in);
    if (rc) std::fputs("floor: write failed\n", stderr);
    return rc;
}
