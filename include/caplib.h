/* caplib: store captured frames in capture files and show them as text.
 *
 * Records flow from a source (CAPLIB_INPUT) to a sink (CAPLIB_OUTPUT).
 * Every object a constructor returns is released by its own close slot.
 * An object (a reader, a writer) belongs to one thread at a time; beyond
 * that, any CAPLIB_ function may be called from any number of threads at
 * once, each call giving the text it would give alone. The separator of
 * CAPLIB_decode is the calling thread's, and each thread holds its own
 * five texts of CAPLIB_timeval2str. */
#ifndef CAPLIB_H
#define CAPLIB_H

#include <stdint.h>
#include <stdio.h>

#if defined(_WIN32)
#  if defined(CAPLIB_STATIC)
#    define CAPLIB_API
#  elif defined(CAPLIB_BUILDING)
#    define CAPLIB_API __declspec(dllexport)
#  else
#    define CAPLIB_API __declspec(dllimport)
#  endif
#else
#  define CAPLIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Layer codes of CAPLIB_PAKET.layer. */
#define CAPLIB_LAYER_PPP 0u
#define CAPLIB_LAYER_ETHERNET 1u
#define CAPLIB_LAYER_TOKENRING 2u
#define CAPLIB_LAYER_IP 3u
#define CAPLIB_LAYER_IPX 4u
#define CAPLIB_LAYER_ARP 5u
#define CAPLIB_LAYER_ISAKMP 6u
#define CAPLIB_LAYER_BNEP 7u
#define CAPLIB_LAYER_RFC1483 8u

/* Attribute codes of CAPLIB_PAKET.attribute. */
#define CAPLIB_ATTR_NORMAL 0u
#define CAPLIB_ATTR_FILTERED 1u
#define CAPLIB_ATTR_SPOOFED 2u
#define CAPLIB_ATTR_DROPPED 3u
#define CAPLIB_ATTR_CHANGED 4u
#define CAPLIB_ATTR_BEFORE_CHANGE 5u
#define CAPLIB_ATTR_LEVEL0 6u
#define CAPLIB_ATTR_LEVEL1 7u
#define CAPLIB_ATTR_LEVEL2 8u
#define CAPLIB_ATTR_LEVEL3 9u

/* Flags of CAPLIB_output_ascii.
 * CAPLIB_ASCII_HEXDUMP: a hex dump after each record.
 * CAPLIB_ASCII_BUFFERED: flush the stream only when its buffer fills and
 *   at close, instead of after every record. Much faster for bulk work,
 *   but a trace cut short by a crash misses its last records, and a write
 *   failure of the last buffer shows only at close, where it cannot be
 *   returned: paket reports every failure it sees, close none. A caller
 *   that needs to know flushes and checks the stream itself (standard
 *   output), or uses the default. */
#define CAPLIB_ASCII_HEXDUMP 1u
#define CAPLIB_ASCII_BUFFERED 2u

/* Results of the sink slots. */
#define CAPLIB_OK 0
#define CAPLIB_ERR_FORMAT (-1) /* text line too long; binary: header write or buffer growth failed */
#define CAPLIB_ERR_WRITE (-2)  /* a write or flush failed */

/* Fixed 32-bit time stamp: the platform's struct timeval differs between
 * systems, the capture file does not. */
typedef struct CAPLIB_TIMEVAL {
    int32_t tv_sec;
    int32_t tv_usec;
} CAPLIB_TIMEVAL;

/* One captured frame. A record delivered by a source, its name and its
 * data stay valid until the next first, next or close on that source. */
typedef struct CAPLIB_PAKET {
    uint32_t tag;
    const char *name;
    uint32_t channel;
    uint32_t direction;
    uint32_t attribute;
    uint32_t layer;
    CAPLIB_TIMEVAL time;
    uint32_t length;
    uint32_t orig_length;
    const unsigned char *data;
    uint32_t number;
} CAPLIB_PAKET;

typedef struct CAPLIB_INPUT CAPLIB_INPUT;
typedef struct CAPLIB_OUTPUT CAPLIB_OUTPUT;

struct CAPLIB_INPUT {
    CAPLIB_PAKET *(*first)(CAPLIB_INPUT *);
    CAPLIB_PAKET *(*next)(CAPLIB_INPUT *);
    void (*close)(CAPLIB_INPUT *);
    void *priv;
    uint32_t info[3];
};

struct CAPLIB_OUTPUT {
    uint32_t type; /* 0 text trace, 2 binary capture file */
    int (*header)(CAPLIB_OUTPUT *, CAPLIB_INPUT *);
    int (*paket)(CAPLIB_OUTPUT *, CAPLIB_PAKET *);
    void (*close)(CAPLIB_OUTPUT *, int);
    void *priv;
};

/* Dispatch through the slots; a null slot is a no-op with a neutral result. */
CAPLIB_API CAPLIB_PAKET *CAPLIB_input_first(CAPLIB_INPUT *in);
CAPLIB_API CAPLIB_PAKET *CAPLIB_input_next(CAPLIB_INPUT *in);
CAPLIB_API void CAPLIB_input_close(CAPLIB_INPUT *in);
CAPLIB_API int CAPLIB_output_header(CAPLIB_OUTPUT *out, CAPLIB_INPUT *in);
CAPLIB_API int CAPLIB_output_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *p);
CAPLIB_API void CAPLIB_output_close(CAPLIB_OUTPUT *out, int result);

/* Header, then every record until the source ends or a sink slot fails;
 * closes both objects on every path and returns the first failure or 0. */
CAPLIB_API int CAPLIB_process_data(CAPLIB_INPUT *in, CAPLIB_OUTPUT *out);

/* Capture files (".eth"). */
CAPLIB_API CAPLIB_INPUT *CAPLIB_input_zekbin(const char *name);
CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin(const char *name);
CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin_append(const char *name, int32_t limit);
CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_zekbin_filepointer(FILE *stream);

/* Text traces (".log", or standard output for null, "" and "-"). */
CAPLIB_API CAPLIB_OUTPUT *CAPLIB_output_ascii(const char *filename, const char *separator,
                                              uint32_t flags);

/* Decoding of single frames. */
CAPLIB_API void CAPLIB_decode(uint32_t layer, const unsigned char *data, uint32_t length,
                              char *text, uint32_t room, const char *separator);
CAPLIB_API int CAPLIB_decode_ppp(const unsigned char *data, uint32_t length, char *text,
                                 uint32_t room);

/* Conversions. */
CAPLIB_API int CAPLIB_string_hexdump(char *out, uint32_t size, const unsigned char *data,
                                     int32_t length, const char *separator);
CAPLIB_API const char *CAPLIB_timeval2str(const CAPLIB_TIMEVAL *time);
CAPLIB_API const char *CAPLIB_layer2str(uint32_t layer);
CAPLIB_API const char *CAPLIB_attrib2str(uint32_t attribute);

#ifdef __cplusplus
}
#endif

#endif /* CAPLIB_H */
