// Text trace writer: a numbered header line per record, the decoded
// summary, and an optional hex dump.
#include <cstdlib>
#include <cstring>

#include "caplib.h"
#include "capture/files.h"
#include "decode/text.h"

namespace caplib {
namespace {

constexpr size_t kLine = 8192;

struct AsciiWriter {
    CAPLIB_OUTPUT pub;  // first: the object is its own priv
    FILE *stream;
    char *separator;  // owned copy
    uint32_t count;
    uint32_t flags;
    char line[kLine];
};

int ascii_header(CAPLIB_OUTPUT *, CAPLIB_INPUT *) { return CAPLIB_OK; }

int ascii_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *r) {
    AsciiWriter *w = static_cast<AsciiWriter *>(out->priv);
    ++w->count;
    Text line(w->line, kLine);
    if (!line.add("\n%u. %s %s %s %s %u/%u %s", w->count, CAPLIB_timeval2str(&r->time),
                  r->name ? r->name : "-NULL-", CAPLIB_layer2str(r->layer),
                  r->direction ? ">>>" : "<<<", r->length, r->orig_length,
                  CAPLIB_attrib2str(r->attribute)))
        return CAPLIB_ERR_FORMAT;
    if (r->layer == CAPLIB_LAYER_PPP && !line.add(" Channel=%u", r->channel)) return CAPLIB_ERR_FORMAT;
    if (!line.put(w->separator)) return CAPLIB_ERR_FORMAT;

    size_t used = line.size();
    CAPLIB_decode(r->layer, r->data, r->length, w->line + used, static_cast<uint32_t>(kLine - used),
                  w->separator);
    size_t n = used + std::strlen(w->line + used);
    bool ok = std::fwrite(w->line, 1, n, w->stream) == n;
    if (ok && (w->flags & CAPLIB_ASCII_HEXDUMP)) {
        int32_t len = r->length > INT32_MAX ? -1 : static_cast<int32_t>(r->length);
        size_t d = static_cast<size_t>(
            CAPLIB_string_hexdump(w->line, kLine, r->data, len, w->separator));
        ok = std::fwrite(w->line, 1, d, w->stream) == d;
    }
    // Flushed per record so that a trace is complete up to its last record.
    if (std::fflush(w->stream) != 0 || !ok || std::ferror(w->stream)) return CAPLIB_ERR_WRITE;
    return CAPLIB_OK;
}

void ascii_close(CAPLIB_OUTPUT *out, int) {
    AsciiWriter *w = static_cast<AsciiWriter *>(out->priv);
    if (w->stream && w->stream != stdout) std::fclose(w->stream);
    std::free(w->separator);
    std::free(w);
}

char *copy_text(const char *s) {
    size_t n = std::strlen(s) + 1;
    char *p = static_cast<char *>(std::malloc(n));
    if (p) std::memcpy(p, s, n);
    return p;
}

}  // namespace
}  // namespace caplib

extern "C" CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_ascii(const char *filename, const char *separator,
                                                          uint32_t flags) {
    using namespace caplib;
    AsciiWriter *w = static_cast<AsciiWriter *>(std::calloc(1, sizeof(AsciiWriter)));
    if (!w) return nullptr;
    w->pub.type = 0;
    w->pub.header = ascii_header;
    w->pub.paket = ascii_paket;
    w->pub.close = ascii_close;
    w->pub.priv = w;
    w->separator = copy_text(separator ? separator : "\n");
    if (filename && *filename && std::strcmp(filename, "-") != 0)
        w->stream = std::fopen(capture_file_name(filename, ".log").c_str(), "w");
    else
        w->stream = stdout;
    if (!w->separator || !w->stream) {
        ascii_close(&w->pub, 0);
        return nullptr;
    }
    w->flags = flags;
    return &w->pub;
}
