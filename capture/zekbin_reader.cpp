// Reader of capture files: delivers the records one by one.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "caplib.h"
#include "capture/files.h"

namespace caplib {
namespace {

struct Reader {
    CAPLIB_INPUT pub;  // first: the object is its own priv
    CAPLIB_PAKET current;
    FILE *file;
    uint64_t size;      // of the file, taken when it was opened
    uint64_t position;  // of the next record
    bool ended;         // a record failed: nothing more until first()
    uint32_t delivered;
    GrowBuffer buffer;
    char *io_buffer;
};

bool file_size(FILE *f, uint64_t &size) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_fstat64(_fileno(f), &st) != 0) return false;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0) return false;
#endif
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool seek(FILE *f, uint64_t pos) {
#if defined(_WIN32)
    return _fseeki64(f, static_cast<__int64>(pos), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

// Reads the record at the current position. Sizes are checked against
// what the file holds before anything is allocated for them, so a damaged
// header can neither run past the file nor make the buffer balloon. A
// record that fails ends the file until first(): the stream then stands
// somewhere inside the damage, and what follows there is no record.
CAPLIB_PAKET *read_record(Reader *r) {
    if (r->ended) return nullptr;
    r->ended = true;
    uint8_t h[RECORD_HEADER_SIZE];
    if (r->position > r->size || r->size - r->position < sizeof h) return nullptr;
    if (std::fread(h, 1, sizeof h, r->file) != sizeof h) return nullptr;
    RecordHeader header;
    if (!read_record_header(h, header)) return nullptr;
    uint64_t body = header.body;
    if (body > r->size - r->position - sizeof h) return nullptr;
    if (!r->buffer.reserve(body)) return nullptr;
    if (body && std::fread(r->buffer.data, 1, body, r->file) != body) return nullptr;
    r->position += sizeof h + body;
    r->ended = false;

    place_record(header, r->buffer.data, r->current);
    r->current.number = ++r->delivered;
    return &r->current;
}

CAPLIB_PAKET *reader_first(CAPLIB_INPUT *in) {
    Reader *r = static_cast<Reader *>(in->priv);
    if (!seek(r->file, FILE_HEADER_SIZE)) return nullptr;
    r->position = FILE_HEADER_SIZE;
    r->ended = false;
    return read_record(r);
}

CAPLIB_PAKET *reader_next(CAPLIB_INPUT *in) { return read_record(static_cast<Reader *>(in->priv)); }

void reader_close(CAPLIB_INPUT *in) {
    Reader *r = static_cast<Reader *>(in->priv);
    if (r->file) std::fclose(r->file);
    std::free(r->io_buffer);
    r->buffer.release();
    std::free(r);
}

}  // namespace
}  // namespace caplib

extern "C" CAPLIB_API CAPLIB_INPUT *CAPLIB_input_zekbin(const char *name) {
    using namespace caplib;
    Reader *r = static_cast<Reader *>(std::calloc(1, sizeof(Reader)));
    if (!r) return nullptr;
    r->pub.first = reader_first;
    r->pub.next = reader_next;
    r->pub.close = reader_close;
    r->pub.priv = r;

    uint8_t h[FILE_HEADER_SIZE];
    std::string file_name = capture_file_name(name, ".eth");
    r->file = open_buffered(file_name, "rb", r->io_buffer);
    if (!r->file || !r->buffer.reserve(INITIAL_BUFFER) || !file_size(r->file, r->size) ||
        std::fread(h, 1, sizeof h, r->file) != sizeof h || !read_file_header(h, r->pub.info)) {
        reader_close(&r->pub);
        return nullptr;
    }
    r->position = FILE_HEADER_SIZE;
    return &r->pub;
}
