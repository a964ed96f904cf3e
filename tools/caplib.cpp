// The commands of the caplib tool: trace, copy, import, export, decode, info.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "caplib.h"
#include "cli.h"
#include "output_file.h"
#include "pcap_source.h"

namespace caplib_tool {
namespace {

// The library's files are named by a rule: the extension of the last path
// component replaced by ext (".eth", ".log"); the first character of the
// name never counts as a dot.
std::string library_file_name(const std::string &name, const char *ext) {
    size_t dot = name.find_last_of("./\\:");
    bool cut = dot != std::string::npos && dot > 0 && name[dot] == '.';
    return (cut ? name.substr(0, dot) : name) + ext;
}

// ---- Inputs: where captures are opened and their damage is told ----

// "" when path opens for reading, else the failure line. A capture file
// must be a regular file: the reader seeks in it.
std::string unreadable(const std::string &path, bool regular) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return read_error(path, errno);
    struct stat st;
    int rc = fstat(fd, &st);
    int error = errno;
    close(fd);
    if (rc != 0) return read_error(path, error);
    if (S_ISDIR(st.st_mode)) return read_error(path, EISDIR);
    if (regular && !S_ISREG(st.st_mode)) return "cannot read " + path + ": not a regular file";
    return "";
}

// The library opens NAME with its extension replaced by ".eth"; refuse
// names that would silently open another file than the one given.
CAPLIB_INPUT *open_capture(const std::string &path, std::string &error) {
    error = unreadable(path, true);
    if (!error.empty()) return nullptr;
    if (library_file_name(path, ".eth") != path) {
        error = path + ": capture files must have the extension .eth";
        return nullptr;
    }
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
    if (!in) error = path + ": not a capture file";
    return in;
}

CAPLIB_INPUT *open_pcap(const Options &o, const std::string &path, PcapReadReport &report, std::string &error) {
    error = unreadable(path, false);
    return error.empty() ? pcap_input(path, o.has_name ? o.name.c_str() : nullptr, report, error) : nullptr;
}

// The bytes a record takes in a capture file.
unsigned long long record_bytes(const CAPLIB_PAKET *p) {
    auto r16 = [](unsigned long long n) { return (n + 15) & ~15ull; };
    unsigned long long name = p->name ? std::strlen(p->name) + 1 : 0;
    return 48 + r16(name) + r16(p->length);
}

long long file_size(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// The capture reader ends quietly at a damaged record; counting what it
// delivered tells such an end from the end of the file.
struct CountingSource {
    CAPLIB_INPUT pub{};
    CAPLIB_INPUT *inner;
    unsigned long long bytes = 0;
    unsigned long long records = 0;

    explicit CountingSource(CAPLIB_INPUT *in) : inner(in) {
        pub.priv = this;
        pub.info[0] = in->info[0];
        pub.info[1] = in->info[1];
        pub.info[2] = in->info[2];
        pub.first = [](CAPLIB_INPUT *i) { return self(i)->count(CAPLIB_input_first); };
        pub.next = [](CAPLIB_INPUT *i) { return self(i)->count(CAPLIB_input_next); };
        pub.close = [](CAPLIB_INPUT *i) { CAPLIB_input_close(self(i)->inner); };
    }
    static CountingSource *self(CAPLIB_INPUT *i) { return static_cast<CountingSource *>(i->priv); }

    CAPLIB_PAKET *count(CAPLIB_PAKET *(*read)(CAPLIB_INPUT *)) {
        CAPLIB_PAKET *p = read(inner);
        if (p) {
            bytes += record_bytes(p);
            ++records;
        }
        return p;
    }

    // Empty when every byte of the file was a record, else the error line.
    std::string damage(const std::string &path, const char *done = "read") const {
        long long size = file_size(path);
        if (size < 0 || static_cast<unsigned long long>(size) <= 64 + bytes) return {};
        return path + ": damaged after record " + std::to_string(records) + " (" +
               std::to_string(static_cast<unsigned long long>(size) - 64 - bytes) +
               " bytes are not a record); the records before it were " + done;
    }
};

// A capture to read: a capture file (.eth) by the library, anything else
// through libpcap, whose report outlives the source.
struct Source {
    CAPLIB_INPUT *in = nullptr;
    bool pcap = false;
    std::unique_ptr<CountingSource> eth;
    PcapReadReport report;
};

bool open_source(const Options &o, const std::string &path, Source &src, std::string &error) {
    src.pcap = !has_extension(path, ".eth");
    if (!src.pcap) {
        if (CAPLIB_INPUT *in = open_capture(path, error)) {
            src.eth = std::make_unique<CountingSource>(in);
            src.in = &src.eth->pub;
        }
    } else {
        src.in = open_pcap(o, path, src.report, error);
    }
    return src.in != nullptr;
}

// Records of a capture file keep their own names.
bool name_misused(const Options &o, const std::string &path) { return o.has_name && has_extension(path, ".eth"); }

// After the source is done: damage fails, skipped frames are told. A
// source not read to its end (trace -c) has no end to judge.
int finish_source(const std::string &path, const Source &src, bool read_to_end = true) {
    if (!src.pcap) {
        std::string damage = read_to_end ? src.eth->damage(path) : "";
        return damage.empty() ? 0 : failure(damage);
    }
    if (!src.report.damage.empty()) return failure(src.report.damage_text(path));
    note(src.report.skipped_text(path));
    return 0;
}

// ---- Outputs ----

// Wraps a writer: keeps the code and errno of its first failure (the
// library's writers return only a code), and finishes the output (flush,
// fsync) before the writer closes, where a failure is no longer reported.
struct Guard {
    enum class Header { source, blank, none };
    CAPLIB_OUTPUT pub{};
    CAPLIB_OUTPUT *inner;
    Header header;
    std::function<bool()> finish;  // false with errno set
    int rc = CAPLIB_OK;
    int error = 0;

    Guard(CAPLIB_OUTPUT *writer, Header h, std::function<bool()> f) : inner(writer), header(h), finish(std::move(f)) {
        pub.type = writer->type;
        pub.priv = this;
        pub.header = [](CAPLIB_OUTPUT *o, CAPLIB_INPUT *i) {
            Guard *g = self(o);
            if (g->header == Header::none) return CAPLIB_OK;
            errno = 0;
            // A writer's header fails only when it cannot write.
            int r = CAPLIB_output_header(g->inner, g->header == Header::source ? i : nullptr);
            return g->seen(r == CAPLIB_OK ? r : CAPLIB_ERR_WRITE);
        };
        pub.paket = [](CAPLIB_OUTPUT *o, CAPLIB_PAKET *p) {
            errno = 0;
            return self(o)->seen(CAPLIB_output_paket(self(o)->inner, p));
        };
        pub.close = [](CAPLIB_OUTPUT *o, int result) {
            Guard *g = self(o);
            if (result == CAPLIB_OK && g->rc == CAPLIB_OK && !g->finish()) g->seen(CAPLIB_ERR_WRITE);
            CAPLIB_output_close(g->inner, result);
        };
    }
    static Guard *self(CAPLIB_OUTPUT *o) { return static_cast<Guard *>(o->priv); }

    int seen(int r) {
        if (r != CAPLIB_OK && rc == CAPLIB_OK) {
            rc = r;
            error = errno ? errno : EIO;
        }
        return r;
    }
};

// CAPLIB_process_data that stops after limit records (0: no limit)
// without reading on; stopped then tells that the source has more.
int pump(CAPLIB_INPUT *in, CAPLIB_OUTPUT *out, unsigned long long limit, bool &stopped) {
    int r = CAPLIB_output_header(out, in);
    unsigned long long n = 0;
    if (r == CAPLIB_OK)
        for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
            r = CAPLIB_output_paket(out, p);
            if (r != CAPLIB_OK) break;
            if (++n == limit) {
                stopped = true;
                break;
            }
        }
    CAPLIB_input_close(in);
    CAPLIB_output_close(out, r);
    return r;
}

// Whether the library's appending writer continues a file: one of more
// than a file header, below the limit (0: none); else it starts anew.
bool continues(const std::string &path, long long limit) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 64 &&
           (limit == 0 || st.st_size < limit);
}

// Writes every record of in into the capture file path: "" or the failure
// line. A new file (also one an append starts anew) is written under a
// temporary name and put in place when whole; a continued one is cut back
// to its old size on failure.
std::string write_capture(CAPLIB_INPUT *in, const std::string &path, bool append, long long limit) {
    PendingFile file;
    bool in_place = append && continues(path, limit);
    if (!(in_place ? file.append(path) : file.create(path))) {
        int error = errno;
        CAPLIB_input_close(in);
        return open_error(path, error);
    }
    CAPLIB_OUTPUT *writer = CAPLIB_output_zekbin_filepointer(file.stream());
    if (!writer) {
        CAPLIB_input_close(in);
        return open_error(path, ENOMEM);
    }
    file.release_stream();
    // A continued file keeps its header; one an append starts anew gets
    // the appending writer's header, without the source's words.
    Guard g(writer, in_place ? Guard::Header::none : append ? Guard::Header::blank : Guard::Header::source,
            [&] { return file.flush(); });
    CAPLIB_process_data(in, &g.pub);
    if (g.rc == CAPLIB_ERR_FORMAT) return path + ": a record could not be written (name too long or no memory)";
    if (g.rc != CAPLIB_OK) return write_error(path, g.error);
    if (!file.commit(path)) return write_error(path, errno);
    return "";
}

}  // namespace

// ---- Commands ----

int cmd_trace(const Options &o) {
    if (name_misused(o, o.in)) return usage_error("--name is for pcap and pcapng input");
    std::string log;  // the file written; "" for standard output
    if (!o.output.empty() && o.output != "-") {
        log = library_file_name(o.output, ".log");
        if (log != o.output && log != o.output + ".log")
            return usage_error("-o " + o.output + " would write " + log + " (give NAME.log or NAME without extension)");
        if (std::string why = refuse_output(log, {o.in}); !why.empty()) return failure(why);
    }
    std::string error;
    Source src;
    if (!open_source(o, o.in, src, error)) return failure(error);
    PendingFile file;
    // The text writer opens a named file itself, where its last failures
    // go unseen; pointed at standard output it writes into the pending
    // file instead, which is put in place only when whole.
    if (!log.empty() && (!file.create(log) || dup2(fileno(file.stream()), STDOUT_FILENO) < 0)) {
        error = open_error(log, errno);
        CAPLIB_input_close(src.in);
        return failure(error);
    }
    // Nothing has been written to standard output yet: a record, hex dump
    // included, then leaves in one write.
    static char stdout_buffer[1 << 18];
    std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
    uint32_t flags = (o.hex ? CAPLIB_ASCII_HEXDUMP : 0u) | (o.buffered ? CAPLIB_ASCII_BUFFERED : 0u);
    CAPLIB_OUTPUT *writer = CAPLIB_output_ascii("-", o.sep.c_str(), flags);
    if (!writer) {
        CAPLIB_input_close(src.in);
        return failure(open_error(log.empty() ? "standard output" : log, ENOMEM));
    }
    Guard g(writer, Guard::Header::source, [&] { return stdout_ok() && (log.empty() || fsync(STDOUT_FILENO) == 0); });
    bool stopped = false;
    pump(src.in, &g.pub, o.count, stopped);
    if (g.rc == CAPLIB_ERR_FORMAT) return failure("a record header did not fit the trace line");
    if (g.rc != CAPLIB_OK) return log.empty() ? stdout_failed(g.error) : failure(write_error(log, g.error));
    if (!log.empty() && !file.commit(log)) return failure(write_error(log, errno));
    return finish_source(o.in, src, !stopped);
}

int cmd_copy(const Options &o) {
    if (!has_extension(o.out, ".eth")) return failure(o.out + ": capture files must have the extension .eth");
    if (std::string why = refuse_output(o.out, {o.in}); !why.empty()) return failure(why);
    std::string error;
    CAPLIB_INPUT *opened = open_capture(o.in, error);
    if (!opened) return failure(error);
    CountingSource counted(opened);
    error = write_capture(&counted.pub, o.out, o.has_limit, o.limit);
    if (!error.empty()) return failure(error);
    std::string damage = counted.damage(o.in, "copied");
    return damage.empty() ? 0 : failure(damage);
}

int cmd_import(const Options &o) {
    if (!has_extension(o.out, ".eth")) return failure(o.out + ": capture files must have the extension .eth");
    if (std::string why = refuse_output(o.out, {o.in}); !why.empty()) return failure(why);
    PcapReadReport report;
    std::string error;
    CAPLIB_INPUT *in = open_pcap(o, o.in, report, error);
    if (!in) return failure(error);
    error = write_capture(in, o.out, false, 0);
    if (!error.empty()) return failure(error);
    // Every complete frame before damage is kept; the damage still fails.
    if (!report.damage.empty()) return failure(report.damage_text(o.in));
    note(report.skipped_text(o.in));
    return 0;
}

int cmd_export(const Options &o) {
    std::string error;
    PcapWriteReport report;
    CAPLIB_OUTPUT *out = pcap_output(o.out, report, error);
    if (!out) return failure(error);
    for (const std::string &name : pcap_output_names(o.out))
        if (error = refuse_output(name, {o.in}); !error.empty()) break;
    CAPLIB_INPUT *inner = error.empty() ? open_capture(o.in, error) : nullptr;
    if (!inner) {
        CAPLIB_output_close(out, CAPLIB_ERR_FORMAT);
        return failure(error);
    }
    CountingSource in(inner);
    CAPLIB_process_data(&in.pub, out);
    if (!report.error.empty()) return failure(report.error);
    if (std::string damage = in.damage(o.in, "converted"); !damage.empty()) return failure(damage);
    if (report.files.size() > 1) {
        std::string list;
        for (const auto &[name, frames] : report.files)
            list += (list.empty() ? "" : ", ") + name + " (" + std::to_string(frames) + (frames == 1 ? " frame)" : " frames)");
        note(o.in + " mixes layers, written as one pcap file per layer: " + list);
    }
    note(report.skipped_text(o.in));
    return 0;
}

namespace {

struct LayerName {
    const char *name;
    uint32_t code;
};
constexpr LayerName kLayers[] = {
    {"ppp", CAPLIB_LAYER_PPP}, {"ethernet", CAPLIB_LAYER_ETHERNET}, {"tokenring", CAPLIB_LAYER_TOKENRING},
    {"ip", CAPLIB_LAYER_IP},   {"ipx", CAPLIB_LAYER_IPX},           {"arp", CAPLIB_LAYER_ARP},
};

bool parse_layer(const std::string &s, uint32_t &code) {
    for (const LayerName &l : kLayers)
        if (s == l.name) {
            code = l.code;
            return true;
        }
    char *end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (s.empty() || *end || v > UINT32_MAX) return false;
    code = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

int cmd_decode(const Options &o) {
    uint32_t layer = 0;
    if (o.layer.empty()) return usage_error("decode needs --layer");
    if (!parse_layer(o.layer, layer)) return usage_error("unknown layer " + o.layer);
    std::vector<std::string> words = o.operands;
    if (words.size() == 1 && words[0] == "-") {
        words[0].clear();
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) words[0].append(buffer, n);
        if (std::ferror(stdin)) return failure(read_error("standard input", errno));
    }
    std::vector<unsigned char> frame;
    int hi = -1;
    for (const std::string &word : words)
        for (char c : word) {
            if (c == ':' || c == '-' || c == ',' || std::isspace(static_cast<unsigned char>(c))) continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return usage_error(std::string("not a hex digit: ") + c);
            int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
            if (hi < 0) {
                hi = v;
            } else {
                frame.push_back(static_cast<unsigned char>(hi << 4 | v));
                hi = -1;
            }
        }
    if (hi >= 0) return usage_error("odd number of hex digits");
    if (frame.empty()) return usage_error("decode needs a frame in hex");
    std::vector<char> text(65536);
    CAPLIB_decode(layer, frame.data(), static_cast<uint32_t>(frame.size()), text.data(),
                  static_cast<uint32_t>(text.size()), o.sep.c_str());
    std::fputs(text.data(), stdout);
    return finish_stdout();
}

int cmd_info(const Options &o) {
    if (name_misused(o, o.in)) return usage_error("--name is for pcap and pcapng input");
    std::string error;
    Source src;
    if (!open_source(o, o.in, src, error)) return failure(error);
    CAPLIB_INPUT *in = src.in;
    std::map<uint32_t, unsigned long> layers, attributes;
    unsigned long records = 0;
    unsigned long long bytes = 0;
    CAPLIB_TIMEVAL first = {0, 0}, last = {0, 0};
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        if (records++ == 0) first = p->time;
        last = p->time;
        ++layers[p->layer];
        ++attributes[p->attribute];
        bytes += p->length;
    }
    std::printf("file: %s\nrecords: %lu\ncaptured bytes: %llu\n", o.in.c_str(), records, bytes);
    std::printf("information words: 0x%08x 0x%08x 0x%08x\n", in->info[0], in->info[1], in->info[2]);
    if (records) {
        std::printf("first: %s\n", CAPLIB_timeval2str(&first));
        std::printf("last: %s\n", CAPLIB_timeval2str(&last));
    }
    for (const auto &[code, n] : layers) std::printf("layer %s (%u): %lu\n", CAPLIB_layer2str(code), code, n);
    for (const auto &[code, n] : attributes)
        std::printf("attribute %s (%u): %lu\n", CAPLIB_attrib2str(code), code, n);
    CAPLIB_input_close(in);
    if (!stdout_ok()) return stdout_failed(errno);
    return finish_source(o.in, src);
}

}  // namespace caplib_tool
