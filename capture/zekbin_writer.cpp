// Writers of capture files: a new file, a continued file, a caller's stream.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "caplib.h"
#include "capture/files.h"

namespace caplib {
namespace {

struct Writer {
    CAPLIB_OUTPUT pub;  // first: the object is its own priv
    FILE *stream;
    GrowBuffer buffer;
    char *io_buffer;  // of a stream the writer opened itself
};

bool write_all(FILE *f, const void *p, size_t n) {
    return !std::ferror(f) && std::fwrite(p, 1, n, f) == n;
}

bool write_file_header(FILE *f, const CAPLIB_INPUT *in) {
    uint8_t h[FILE_HEADER_SIZE] = {};
    put_le32(h, FILE_MAGIC);
    std::memcpy(h + 4, FILE_IDENT, sizeof FILE_IDENT);
    for (int i = 0; i < 3; ++i) put_le32(h + 16 + 4 * i, in ? in->info[i] : 0);
    // Flushed at once so that a stream that cannot take data fails here,
    // not unnoticed when the writer closes.
    return write_all(f, h, sizeof h) && std::fflush(f) == 0;
}

int writer_header(CAPLIB_OUTPUT *out, CAPLIB_INPUT *in) {
    Writer *w = static_cast<Writer *>(out->priv);
    return write_file_header(w->stream, in) ? CAPLIB_OK : CAPLIB_ERR_FORMAT;
}

// A continued file already begins with a file header (the old one or the
// one the constructor wrote); a second one would end what a reader sees.
int append_header(CAPLIB_OUTPUT *, CAPLIB_INPUT *) { return CAPLIB_OK; }

// Writes `n` bytes of `src` as an area padded with zeros to round16(n).
int write_area(Writer *w, const void *src, uint32_t n) {
    uint64_t area = round16(n);
    if (!w->buffer.reserve(area)) return CAPLIB_ERR_FORMAT;
    std::memset(w->buffer.data + area - 16, 0, 16);
    std::memcpy(w->buffer.data, src, n);
    return write_all(w->stream, w->buffer.data, static_cast<size_t>(area)) ? CAPLIB_OK : CAPLIB_ERR_WRITE;
}

int writer_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *r) {
    Writer *w = static_cast<Writer *>(out->priv);
    size_t name_len = r->name ? std::strlen(r->name) + 1 : 0;
    // The 16-bit header length cannot describe a longer name: refuse the
    // record rather than write one that no reader can follow.
    if (round16(name_len) > MAX_NAME_AREA) return CAPLIB_ERR_FORMAT;
    uint32_t n = static_cast<uint32_t>(name_len);

    uint8_t h[RECORD_HEADER_SIZE] = {};
    put_le16(h, RECORD_MAGIC);
    put_le16(h + 2, RECORD_HEADER_SIZE + static_cast<uint32_t>(round16(n)));
    put_le16(h + 4, r->tag);
    put_le16(h + 6, n);
    put_le16(h + 8, r->channel);
    put_le16(h + 10, r->direction);
    put_le16(h + 12, r->attribute);
    put_le16(h + 14, r->layer);
    put_le32(h + 16, static_cast<uint32_t>(r->time.tv_sec));
    put_le32(h + 20, static_cast<uint32_t>(r->time.tv_usec));
    put_le32(h + 24, r->length);
    put_le32(h + 28, r->orig_length);
    put_le32(h + 32, r->number);
    if (!write_all(w->stream, h, sizeof h)) return CAPLIB_ERR_WRITE;
    if (n) {
        int rc = write_area(w, r->name, n);
        if (rc != CAPLIB_OK) return rc;
    }
    if (r->length) {
        int rc = write_area(w, r->data, r->length);
        if (rc != CAPLIB_OK) return rc;
    }
    return CAPLIB_OK;
}

void writer_close(CAPLIB_OUTPUT *out, int) {
    Writer *w = static_cast<Writer *>(out->priv);
    if (w->stream && w->stream != stdout) std::fclose(w->stream);
    std::free(w->io_buffer);
    w->buffer.release();
    std::free(w);
}

Writer *new_writer() {
    Writer *w = static_cast<Writer *>(std::calloc(1, sizeof(Writer)));
    if (!w) return nullptr;
    w->pub.type = 2;
    w->pub.header = writer_header;
    w->pub.paket = writer_paket;
    w->pub.close = writer_close;
    w->pub.priv = w;
    if (!w->buffer.reserve(INITIAL_BUFFER)) {
        writer_close(&w->pub, 0);
        return nullptr;
    }
    return w;
}

bool may_continue(const std::string &file_name, int32_t limit) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_stat64(file_name.c_str(), &st) != 0) return false;
#else
    struct stat st;
    if (stat(file_name.c_str(), &st) != 0) return false;
#endif
    int64_t size = st.st_size;
    return size > FILE_HEADER_SIZE && (limit == 0 || size < int64_t{limit});
}

}  // namespace
}  // namespace caplib

extern "C" {

CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin(const char *name) {
    using namespace caplib;
    Writer *w = new_writer();
    if (!w) return nullptr;
    w->stream = open_buffered(capture_file_name(name, ".eth"), "wb", w->io_buffer);
    if (!w->stream) {
        writer_close(&w->pub, 0);
        return nullptr;
    }
    return &w->pub;
}

CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin_append(const char *name, int32_t limit) {
    using namespace caplib;
    Writer *w = new_writer();
    if (!w) return nullptr;
    std::string file_name = capture_file_name(name, ".eth");
    if (may_continue(file_name, limit)) w->stream = open_buffered(file_name, "a+b", w->io_buffer);
    if (!w->stream) {
        w->stream = open_buffered(file_name, "wb", w->io_buffer);
        if (w->stream && !write_file_header(w->stream, nullptr)) {
            writer_close(&w->pub, 0);
            return nullptr;
        }
    }
    if (!w->stream) {
        writer_close(&w->pub, 0);
        return nullptr;
    }
    w->pub.header = append_header;
    return &w->pub;
}

CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin_filepointer(FILE *stream) {
    caplib::Writer *w = caplib::new_writer();
    if (!w) return nullptr;  // the caller keeps its stream
    w->stream = stream;
    return &w->pub;
}

}  // extern "C"
