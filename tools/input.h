// Captures as the tool reads them: a capture file, pcap or pcapng, told
// apart by their first bytes and read front to back exactly once, so that
// pipes, FIFOs and standard input work like files. The records come out
// of a CAPLIB_INPUT like the library's reader fills them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "caplib.h"

namespace caplib_tool {

enum class InputFormat { capture, pcap, pcapng };

// What a source met while it delivered records. The caller owns it: the
// source is gone once the pump has closed it.
struct InputReport {
    InputFormat format = InputFormat::capture;
    uint64_t frames = 0;       // records or frames read, converted or not
    uint64_t converted = 0;    // delivered as records
    uint64_t not_carried = 0;  // a network protocol no layer code carries
    uint64_t cut_header = 0;   // the link header itself was not captured whole
    uint64_t no_layer = 0;     // on an interface whose link type has no layer code
    std::set<uint32_t> link_types_without_layer;
    std::string damage;  // why reading stopped before the end; "" when it did not
    // What was opened, so that an output that is the same file can be told.
    bool identified = false;
    dev_t device = 0;
    ino_t inode = 0;

    uint64_t skipped() const { return not_carried + cut_header + no_layer; }
    // The link types without a layer code, as a list: "105, 127".
    std::string link_types() const;
    // One line on the frames left out ("" when none), for standard error.
    std::string skipped_text(const std::string &label) const;
    // One line on the damage and what came before it; done says what
    // became of the records of a capture file ("read", "copied", ...).
    std::string damage_text(const std::string &label, const char *done) const;
    // True when path names the file that was opened.
    bool same_file(const std::string &path) const;
};

// The input's name in messages: standard input for "-".
std::string input_label(const std::string &path);

// Opens path, or standard input for "-". name: the name every record of a
// pcap or pcapng input carries, or null for the interface's own (if_name,
// else "ifN" by the interface's place in the file). Null with one line in
// error when the input cannot be read, its content is no known format, or
// its only link types have no layer code.
CAPLIB_INPUT *open_input(const std::string &path, const char *name, InputReport &report, std::string &error);

// The same on an open stream, which the source then owns and closes;
// label names it in messages.
CAPLIB_INPUT *open_input_stream(FILE *stream, const std::string &label, const char *name, InputReport &report,
                                std::string &error);

// Whether bytes a record of source points to stay in place until source
// is closed (a regular file is mapped), rather than until its next record.
// False for sources not opened here.
bool bytes_stay(CAPLIB_INPUT *source, const void *bytes);

// Has the pages of a large regular file mapped ahead of its reader on a
// thread of its own, for a reader that leaves a core free: mapping them
// takes about a third of reading the file. Nothing for other sources.
void map_ahead(CAPLIB_INPUT *source);

// How frames of a pcap link type become records, the same for files and
// live captures. Null when the link type has no layer code.
struct LinkIn;
const LinkIn *find_link(uint32_t link_type);

enum class Conversion { record, not_carried, cut_header };
// Sets p's layer, direction, data (into the caplen bytes at data), length
// and orig_length from one captured frame; the other fields stay.
Conversion convert(const LinkIn &link, const uint8_t *data, uint32_t caplen, uint32_t orig_length, CAPLIB_PAKET &p);

inline std::string plural(uint64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace caplib_tool
