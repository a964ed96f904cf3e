#include "capture/files.h"

#include <cstdlib>
#include <cstring>

namespace caplib {

std::string capture_file_name(const char *name, const char *ext) {
    std::string base = (name && *name) ? name : "zekcap";
    for (size_t i = base.size(); i-- > 1;) {
        char c = base[i];
        if (c == '/' || c == '\\' || c == ':') break;
        if (c == '.') {
            base.resize(i);
            break;
        }
    }
    return base + ext;
}

FILE *open_buffered(const std::string &name, const char *mode, char *&io_buffer) {
    io_buffer = nullptr;
    FILE *f = std::fopen(name.c_str(), mode);
    if (!f) return nullptr;
    io_buffer = static_cast<char *>(std::malloc(IO_BUFFER));
    if (io_buffer && std::setvbuf(f, io_buffer, _IOFBF, IO_BUFFER) != 0) {
        std::free(io_buffer);
        io_buffer = nullptr;
    }
    return f;
}

bool GrowBuffer::reserve(uint64_t n) {
    if (n <= capacity) return true;
    uint64_t want = round16(n);
    if (want > UINT32_MAX) return false;
    void *p = std::realloc(data, static_cast<size_t>(want));
    if (!p) return false;
    data = static_cast<uint8_t *>(p);
    capacity = static_cast<uint32_t>(want);
    return true;
}

void GrowBuffer::release() {
    std::free(data);
    data = nullptr;
    capacity = 0;
}

}  // namespace caplib
