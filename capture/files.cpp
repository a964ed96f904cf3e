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
