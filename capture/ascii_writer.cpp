// Text trace writer: a numbered header line per record, the decoded
// summary, and an optional hex dump.
#include <cstdlib>
#include <cstring>
#include <new>

#include "caplib.h"
#include "capture/files.h"
#include "decode/dispatch.h"
#include "decode/line.h"
#include "decode/text.h"
#include "decode/time_text.h"

namespace caplib {
namespace {

constexpr size_t kLine = 8192;

struct AsciiWriter {
    CAPLIB_OUTPUT pub;  // first: the object is its own priv
    FILE *stream;
    char *io_buffer;  // of a file the writer opened
    char *separator;  // owned copy
    size_t separator_len;
    uint32_t count;
    uint32_t flags;
    TimeTextCache time;
    char line[kLine];
};

int ascii_header(CAPLIB_OUTPUT *, CAPLIB_INPUT *) { return CAPLIB_OK; }

// The header line "\n%u. %s %s %s %s %u/%u %s", " Channel=%u" for PPP and
// the separator, put together without a formatted write: every record
// has one. Returns its length, 0 when it does not fit the line buffer.
size_t header_line(AsciiWriter *w, const CAPLIB_PAKET *r) {
    Line<96> head;
    head.chr('\n').dec(w->count).str(". ").str(w->time.text(r->time)).chr(' ');
    Line<96> tail;
    tail.chr(' ').str(CAPLIB_layer2str(r->layer)).str(r->direction ? " >>> " : " <<< ");
    tail.dec(r->length).chr('/').dec(r->orig_length).chr(' ').str(CAPLIB_attrib2str(r->attribute));
    if (r->layer == CAPLIB_LAYER_PPP) tail.str(" Channel=").dec(r->channel);
    std::string_view name = r->name ? std::string_view(r->name) : "-NULL-";
    size_t n = head.view().size() + name.size() + tail.view().size() + w->separator_len;
    if (n >= kLine) return 0;
    char *p = w->line;
    for (std::string_view piece :
         {head.view(), name, tail.view(), std::string_view(w->separator, w->separator_len)}) {
        std::memcpy(p, piece.data(), piece.size());
        p += piece.size();
    }
    return n;
}

bool write(AsciiWriter *w, size_t n) {
    return std::fwrite(w->line, 1, n, w->stream) == n && !std::ferror(w->stream);
}

int ascii_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *r) {
    AsciiWriter *w = static_cast<AsciiWriter *>(out->priv);
    ++w->count;
    size_t used = header_line(w, r);
    if (used == 0) return CAPLIB_ERR_FORMAT;

    Text text(w->line + used, kLine - used, w->separator);
    decode_layer(r->layer, Bytes(r->data, r->length), text);
    bool ok = write(w, used + text.size());
    if (ok && (w->flags & CAPLIB_ASCII_HEXDUMP)) {
        int32_t len = r->length > INT32_MAX ? -1 : static_cast<int32_t>(r->length);
        int d = CAPLIB_string_hexdump(w->line, kLine, r->data, len, w->separator);
        ok = write(w, static_cast<size_t>(d));
    }
    // By default flushed per record, so that a trace is complete up to its
    // last record even if the process dies.
    if (!(w->flags & CAPLIB_ASCII_BUFFERED) && std::fflush(w->stream) != 0) ok = false;
    return ok ? CAPLIB_OK : CAPLIB_ERR_WRITE;
}

void ascii_close(CAPLIB_OUTPUT *out, int) {
    AsciiWriter *w = static_cast<AsciiWriter *>(out->priv);
    if (w->stream == stdout)
        std::fflush(w->stream);
    else if (w->stream)
        std::fclose(w->stream);
    std::free(w->io_buffer);
    std::free(w->separator);
    w->time.~TimeTextCache();
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
    new (&w->time) TimeTextCache();
    w->pub.type = 0;
    w->pub.header = ascii_header;
    w->pub.paket = ascii_paket;
    w->pub.close = ascii_close;
    w->pub.priv = w;
    w->separator = copy_text(separator ? separator : "\n");
    if (filename && *filename && std::strcmp(filename, "-") != 0)
        w->stream = open_buffered(capture_file_name(filename, ".log"), "w", w->io_buffer);
    else
        w->stream = stdout;
    if (!w->separator || !w->stream) {
        ascii_close(&w->pub, 0);
        return nullptr;
    }
    w->separator_len = std::strlen(w->separator);
    w->flags = flags;
    return &w->pub;
}
