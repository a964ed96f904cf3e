// mix: writes the benchmark captures.
//   mix [-n RECORDS] [--ppp RECORDS] [--seed N] BASENAME
// BASENAME.eth gets the Ethernet mix (1,000,000 records by default),
// BASENAME-ppp.eth the PPP capture (a quarter as many by default).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mix.h"

namespace {

bool number(const char *s, unsigned long long &v) {
    char *end = nullptr;
    v = std::strtoull(s, &end, 10);
    return *s && !*end;
}

int usage() {
    std::fputs("usage: mix [-n RECORDS] [--ppp RECORDS] [--seed N] BASENAME\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    unsigned long long records = 1000000, seed = 1, ppp = 0;
    bool ppp_given = false;
    const char *base = nullptr;
    for (int i = 1; i < argc; ++i) {
        bool has_value = i + 1 < argc;
        if (!std::strcmp(argv[i], "-n") && has_value) {
            if (!number(argv[++i], records)) return usage();
        } else if (!std::strcmp(argv[i], "--ppp") && has_value) {
            if (!number(argv[++i], ppp)) return usage();
            ppp_given = true;
        } else if (!std::strcmp(argv[i], "--seed") && has_value) {
            if (!number(argv[++i], seed)) return usage();
        } else if (argv[i][0] == '-' || base) {
            return usage();
        } else {
            base = argv[i];
        }
    }
    if (!base) return usage();
    if (!ppp_given) ppp = records / 4;
    std::string eth = std::string(base) + ".eth", pppfile = std::string(base) + "-ppp.eth";
    if (!caplib_mix::write_capture(eth, caplib_mix::Kind::ethernet, records, seed) ||
        !caplib_mix::write_capture(pppfile, caplib_mix::Kind::ppp, ppp, seed)) {
        std::fprintf(stderr, "mix: cannot write %s\n", base);
        return 1;
    }
    std::printf("%s: %llu records\n%s: %llu records\n", eth.c_str(), records, pppfile.c_str(), ppp);
    return 0;
}
