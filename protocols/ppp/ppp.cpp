// PPP frames: column-mode entry point.
#include "caplib.h"
#include "decode/text.h"

extern "C" CAPLIB_API int CAPLIB_decode_ppp(const unsigned char *data, uint32_t length, char *text,
                                            uint32_t room) {
    (void)data;
    (void)length;
    caplib::Text out(text, room);  // the PPP decoders are not built yet: an empty text
    return 0;
}
