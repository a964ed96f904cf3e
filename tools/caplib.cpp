// The commands of the caplib tool: trace, copy, import, export, decode, info.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include <thread>
#include <utility>
#include <vector>

#include "caplib.h"
#include "cli.h"
#include "filter.h"
#include "input.h"
#include "output_file.h"
#include "parallel_trace.h"
#include "pcap_sink.h"
#include "trace_text.h"

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

// A capture to read, of any format, and its report and filter, which
// outlive the source.
struct Source {
    CAPLIB_INPUT *in = nullptr;
    CAPLIB_INPUT *raw = nullptr;  // in before the filter, which delivers the records of raw
    InputReport report;
    std::string label;
    std::unique_ptr<RecordFilter> filter;
};

// 0 when open (with the filter's records only), else the exit status
// after the error line.
int open_source(const Options &o, Source &src) {
    std::string error;
    if (!o.filter.empty() && !(src.filter = RecordFilter::make(o.filter, error)))
        return usage_error("the filter does not compile: " + error);
    src.label = input_label(o.in);
    src.in = open_input(o.in, o.has_name ? o.name.c_str() : nullptr, src.report, error);
    if (!src.in) return failure(error);
    src.raw = src.in;
    // A trace on several threads keeps the cores busy composing, unless
    // a filter leaves them little to compose.
    if (o.threads == 1 || src.filter) map_ahead(src.raw);
    // Records of a capture file keep their own names.
    if (o.has_name && src.report.format == InputFormat::capture) {
        CAPLIB_input_close(src.in);
        return usage_error("--name is for pcap and pcapng input");
    }
    if (src.filter && !(src.in = filtered_input(src.in, *src.filter))) return failure("out of memory");
    return 0;
}

// 0 when every output may be written, else the exit status after the line
// that refuses one (the source is closed then): an output that is the
// input, however named, or read-only.
int refuse_outputs(Source &src, const std::vector<std::string> &outputs) {
    for (const std::string &out : outputs) {
        std::string why = src.report.same_file(out)
                              ? "cannot write " + out + ": it is the same file as the input " + src.label
                              : refuse_output(out);
        if (!why.empty()) {
            CAPLIB_input_close(src.in);
            return failure(why);
        }
    }
    return 0;
}

// After the source is done: damage fails, skipped frames and layers the
// filter could not look at are told.
int finish_source(const Source &src, const char *done) {
    if (src.filter)
        for (const std::string &line : src.filter->notes()) note(line);
    if (!src.report.damage.empty()) return failure(src.report.damage_text(src.label, done));
    note(src.report.skipped_text(src.label));
    return 0;
}

// ---- Outputs ----

// The cores this process may run on.
unsigned cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

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

// The end of a trace written with result rc (errno error) into log, or
// to standard output when log is "".
int finish_trace(const Source &src, const std::string &log, PendingFile &file, int rc, int error, unsigned threads) {
    if (rc == ParallelTraceResult::kNoResources)
        return failure("cannot trace on " + std::to_string(threads) + " threads: " + std::strerror(error));
    if (rc == CAPLIB_ERR_FORMAT) return failure("a record header did not fit the trace line");
    if (rc != CAPLIB_OK) return log.empty() ? stdout_failed(error) : failure(write_error(log, error));
    if (!log.empty() && !file.commit(log)) return failure(write_error(log, errno));
    return finish_source(src, "read");
}

}  // namespace

// ---- Commands ----

int cmd_trace(const Options &o) {
    // A flushed trace shows each record as soon as it is read; batches
    // would hold records back, and its time goes into the flushes anyway.
    if (o.threads != 1 && !o.buffered) return usage_error("-j is for --buffered traces");
    std::string log;  // the file written; "" for standard output
    if (!o.output.empty() && o.output != "-") {
        log = library_file_name(o.output, ".log");
        if (log != o.output && log != o.output + ".log")
            return usage_error("-o " + o.output + " would write " + log + " (give NAME.log or NAME without extension)");
    }
    Source src;
    if (int rc = open_source(o, src)) return rc;
    if (!log.empty())
        if (int rc = refuse_outputs(src, {log})) return rc;
    std::string error;
    PendingFile file;
    // The text writer opens a named file itself, where its last failures
    // go unseen; pointed at standard output it writes into the pending
    // file instead, which is put in place only when whole.
    if (!log.empty() && (!file.create(log) || dup2(fileno(file.stream()), STDOUT_FILENO) < 0)) {
        error = open_error(log, errno);
        CAPLIB_input_close(src.in);
        return failure(error);
    }
    unsigned threads = o.threads ? o.threads : cores();
    // Nothing has been written to standard output yet: a record, hex dump
    // included, then leaves in one write; a batch of records, composed in
    // its own buffer, goes out without a copy into the stream's.
    static char stdout_buffer[1 << 18];
    if (threads > 1)
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    else
        std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
    if (threads > 1) {
        ParallelTraceSettings s;
        s.separator = o.sep;
        s.hex = o.hex;
        s.input_numbers = src.filter != nullptr;
        s.threads = threads;
        s.limit = o.count;
        s.data_stays = [raw = src.raw](const void *bytes) { return bytes_stay(raw, bytes); };
        ParallelTraceResult r = parallel_trace(src.in, stdout, s);
        CAPLIB_input_close(src.in);
        if (r.rc == CAPLIB_OK && !(stdout_ok() && (log.empty() || fsync(STDOUT_FILENO) == 0)))
            r = {CAPLIB_ERR_WRITE, errno ? errno : EIO};
        return finish_trace(src, log, file, r.rc, r.error, threads);
    }
    // The library's writer numbers records by its own count; a filtered
    // trace keeps the numbers of the input.
    uint32_t flags = (o.hex ? CAPLIB_ASCII_HEXDUMP : 0u) | (o.buffered ? CAPLIB_ASCII_BUFFERED : 0u);
    CAPLIB_OUTPUT *writer = src.filter ? trace_output(stdout, o.sep, o.hex, o.buffered)
                                       : CAPLIB_output_ascii("-", o.sep.c_str(), flags);
    if (!writer) {
        CAPLIB_input_close(src.in);
        return failure(open_error(log.empty() ? "standard output" : log, ENOMEM));
    }
    Guard g(writer, Guard::Header::source, [&] { return stdout_ok() && (log.empty() || fsync(STDOUT_FILENO) == 0); });
    bool stopped = false;
    pump(src.in, &g.pub, o.count, stopped);
    return finish_trace(src, log, file, g.rc, g.error, 1);
}

int cmd_copy(const Options &o) {
    if (!has_extension(o.out, ".eth")) return failure(o.out + ": capture files must have the extension .eth");
    Source src;
    if (int rc = open_source(o, src)) return rc;
    if (int rc = refuse_outputs(src, {o.out})) return rc;
    std::string error = write_capture(src.in, o.out, o.has_limit, o.limit);
    if (!error.empty()) return failure(error);
    return finish_source(src, "copied");
}

int cmd_import(const Options &o) {
    if (!has_extension(o.out, ".eth")) return failure(o.out + ": capture files must have the extension .eth");
    Source src;
    if (int rc = open_source(o, src)) return rc;
    if (int rc = refuse_outputs(src, {o.out})) return rc;
    std::string error = write_capture(src.in, o.out, false, 0);
    if (!error.empty()) return failure(error);
    // Every complete frame before damage is kept; the damage still fails.
    return finish_source(src, "converted");
}

int cmd_export(const Options &o) {
    std::string error;
    PcapWriteReport report;
    CAPLIB_OUTPUT *out = pcap_output(o.out, report, error);
    if (!out) return failure(error);
    Source src;
    int rc = open_source(o, src);
    if (rc == 0) rc = refuse_outputs(src, pcap_output_names(o.out));
    if (rc != 0) {
        CAPLIB_output_close(out, CAPLIB_ERR_FORMAT);  // nothing was written yet
        return rc;
    }
    CAPLIB_process_data(src.in, out);
    if (!report.error.empty()) return failure(report.error);
    if (!src.report.damage.empty()) return failure(src.report.damage_text(src.label, "converted"));
    if (report.files.size() > 1) {
        std::string list;
        for (const auto &[name, frames] : report.files)
            list += (list.empty() ? "" : ", ") + name + " (" + std::to_string(frames) + (frames == 1 ? " frame)" : " frames)");
        note(src.label + " mixes layers, written as one pcap file per layer: " + list);
    }
    note(report.skipped_text(src.label));
    return finish_source(src, "converted");
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
    Source src;
    if (int rc = open_source(o, src)) return rc;
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
    std::printf("file: %s\nrecords: %lu\ncaptured bytes: %llu\n", src.label.c_str(), records, bytes);
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
    return finish_source(src, "read");
}

}  // namespace caplib_tool
