/* Prints a text trace of a capture file with the public API, then decodes
 * one Ethernet frame by itself. Usage: trace_example CAPTURE.eth */
#include <stdio.h>

#include "caplib.h"

int main(int argc, char **argv) {
    static const unsigned char frame[60] = {
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x60, 0x08, 0x9b, 0x0c, 0x21, 0x08, 0x06,
    };
    char text[1024];
    CAPLIB_INPUT *in;
    CAPLIB_OUTPUT *out;
    int rc;

    if (argc != 2) {
        fprintf(stderr, "usage: trace_example CAPTURE.eth\n");
        return 2;
    }
    in = CAPLIB_input_zekbin(argv[1]);
    if (!in) {
        fprintf(stderr, "trace_example: %s is not a capture file\n", argv[1]);
        return 1;
    }
    out = CAPLIB_output_ascii("-", "\n", CAPLIB_ASCII_HEXDUMP);
    if (!out) {
        CAPLIB_input_close(in);
        return 1;
    }
    rc = CAPLIB_process_data(in, out); /* closes both */
    if (rc != 0) return 1;

    CAPLIB_decode(CAPLIB_LAYER_ETHERNET, frame, sizeof frame, text, sizeof text, "\n");
    printf("\n%s", text);
    return 0;
}
