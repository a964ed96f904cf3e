// Dispatch through the slots of sources and sinks, and the pump.
#include "caplib.h"

extern "C" {

CAPLIB_API CAPLIB_PAKET *CAPLIB_input_first(CAPLIB_INPUT *in) {
    return in->first ? in->first(in) : nullptr;
}

CAPLIB_API CAPLIB_PAKET *CAPLIB_input_next(CAPLIB_INPUT *in) {
    return in->next ? in->next(in) : nullptr;
}

CAPLIB_API void CAPLIB_input_close(CAPLIB_INPUT *in) {
    if (in->close) in->close(in);
}

CAPLIB_API int CAPLIB_output_header(CAPLIB_OUTPUT *out, CAPLIB_INPUT *in) {
    return out->header ? out->header(out, in) : CAPLIB_OK;
}

CAPLIB_API int CAPLIB_output_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *p) {
    return out->paket ? out->paket(out, p) : CAPLIB_OK;
}

CAPLIB_API void CAPLIB_output_close(CAPLIB_OUTPUT *out, int result) {
    if (out->close) out->close(out, result);
}

CAPLIB_API int CAPLIB_process_data(CAPLIB_INPUT *in, CAPLIB_OUTPUT *out) {
    int r = CAPLIB_output_header(out, in);
    if (r == CAPLIB_OK) {
        // A failing source delivers null like its end: the pump then reports 0.
        for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
            r = CAPLIB_output_paket(out, p);
            if (r != CAPLIB_OK) break;
        }
    }
    CAPLIB_input_close(in);
    CAPLIB_output_close(out, r);
    return r;
}

}  // extern "C"
