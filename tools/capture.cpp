// caplib capture: frames from a network interface, through libpcap, into
// the library's writers.
#include <fcntl.h>
#include <pcap/pcap.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "caplib.h"
#include "capture/files.h"
#include "cli.h"
#include "input.h"
#include "output_file.h"
#include "pcap_sink.h"
#include "trace_text.h"

namespace caplib_tool {
namespace {

constexpr int kKernelBuffer = 8 << 20;  // rides out a burst while records are written
// Frames come in blocks that the kernel hands over when full or after
// this many milliseconds. Immediate mode would hand over every frame, but
// on Linux it means a ring of slots as large as the interface's largest
// frame: on the loopback interface about 130 slots in 8 MiB, and most of
// a fast burst is dropped.
constexpr int kBlockTimeout = 100;
// Written records are flushed at the latest when this many bytes wait.
constexpr uint64_t kBlock = 1 << 18;
// The stream buffer holds a block and the largest record behind it, so
// that only the flushes below write to the file.
constexpr size_t kStreamBuffer = 4 * kBlock;

// ---- the capture file ----

// A capture file written in place through the library's writer, flushed
// as records come. A capture may run for months: what it caught before a
// crash, a kill or a power cut must be in the file, not under a temporary
// name or cut off again at the end, as the other commands' files are. A
// failed write cuts the file back to its last whole record. With a ring,
// the file turns into OUT1.eth when the next record would make it larger
// than the ring's size, and so on down to the oldest.
class CaptureFile {
public:
    CaptureFile(std::string path, uint64_t ring_size, unsigned ring_files)
        : path_(std::move(path)), ring_size_(ring_size), ring_files_(ring_files) {}
    ~CaptureFile() {
        std::string ignored;
        if (writer_) finish(ignored);
    }
    CaptureFile(const CaptureFile &) = delete;
    CaptureFile &operator=(const CaptureFile &) = delete;

    // Continues the file when it is below the limit (append) or the ring's
    // size (a ring); else starts it anew, a ring turning first. Each
    // false with the failure line in error.
    bool open(bool append, long long limit, std::string &error) {
        bool going_on = ring_size_ ? continues(path_, static_cast<long long>(ring_size_))
                                   : append && continues(path_, limit);
        struct stat st;
        if (!going_on && ring_size_ && stat(path_.c_str(), &st) == 0 && st.st_size > 0 && !turn(error)) return false;
        return start(going_on, error);
    }
    bool write(CAPLIB_PAKET &p, std::string &error) {
        uint64_t bytes = caplib::RECORD_HEADER_SIZE + (p.name ? caplib::round16(std::strlen(p.name) + 1) : 0) +
                         caplib::round16(p.length);
        if (ring_size_ && size_ > caplib::FILE_HEADER_SIZE && size_ + bytes > ring_size_ &&
            !(finish(error) && turn(error) && start(false, error)))
            return false;
        errno = 0;
        int rc = CAPLIB_output_paket(writer_, &p);
        if (rc != CAPLIB_OK) return fail(rc == CAPLIB_ERR_FORMAT ? ENOMEM : errno ? errno : EIO, error);
        size_ += bytes;
        ends_.push_back(size_);
        return size_ - flushed_ < kBlock || flush(error);
    }
    // Everything written so far goes to the file; false with error.
    bool flush(std::string &error) {
        if (std::fflush(stream_) != 0 || std::ferror(stream_)) return fail(errno ? errno : EIO, error);
        kept_ += ends_.size();
        ends_.clear();
        flushed_ = size_;
        return true;
    }
    // The file flushed to disk and closed.
    bool finish(std::string &error) {
        bool ok = flush(error);
        if (ok && regular_ && fsync(fd_) != 0) ok = fail(errno, error);
        if (writer_) CAPLIB_output_close(writer_, CAPLIB_OK);
        writer_ = nullptr;
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        return ok;
    }

private:
    std::string name(unsigned k) const {
        return k == 0 ? path_ : path_.substr(0, path_.size() - 4) + std::to_string(k) + ".eth";
    }

    bool start(bool going_on, std::string &error) {
        FILE *f = std::fopen(path_.c_str(), going_on ? "ab" : "wb");
        struct stat st;
        if (!f || fstat(fileno(f), &st) != 0 || (fd_ = dup(fileno(f))) < 0) {
            error = open_error(path_, errno);
            if (f) std::fclose(f);
            return false;
        }
        regular_ = S_ISREG(st.st_mode);
        size_ = flushed_ = going_on ? static_cast<uint64_t>(st.st_size) : 0;
        ends_.clear();
        io_.resize(kStreamBuffer);
        std::setvbuf(f, io_.data(), _IOFBF, io_.size());
        if (!(writer_ = CAPLIB_output_zekbin_filepointer(f))) {
            std::fclose(f);
            return fail(ENOMEM, error);
        }
        stream_ = f;
        if (going_on) return true;
        // A new file shows at once, header and all, or fails here.
        errno = 0;
        if (CAPLIB_output_header(writer_, nullptr) != CAPLIB_OK || std::fflush(f) != 0)
            return fail(errno ? errno : EIO, error);
        size_ = flushed_ = caplib::FILE_HEADER_SIZE;
        return true;
    }

    // OUT.eth becomes OUT1.eth, ..., the oldest is dropped.
    bool turn(std::string &error) {
        for (unsigned k = ring_files_ - 1; k > 0; --k)
            if (std::rename(name(k - 1).c_str(), name(k).c_str()) != 0 && errno != ENOENT) {
                error = "cannot turn the ring: renaming " + name(k - 1) + " to " + name(k) + " failed: " +
                        std::strerror(errno);
                return false;
            }
        return true;
    }

    // Cuts the file back to its last whole record after a failed write.
    bool fail(int err, std::string &error) {
        error = write_error(path_, err);
        if (writer_) CAPLIB_output_close(writer_, CAPLIB_ERR_WRITE);  // its stream may still write some
        writer_ = nullptr;
        struct stat st;
        if (fd_ >= 0 && fstat(fd_, &st) == 0 && regular_) {
            uint64_t whole = flushed_;
            for (uint64_t end : ends_)
                if (end <= static_cast<uint64_t>(st.st_size)) {
                    whole = end;
                    ++kept_;
                }
            int rc = ftruncate(fd_, static_cast<off_t>(whole));
            (void)rc;  // should it fail, the whole records still stand in front
        }
        ends_.clear();
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        error += "; " + plural(kept_, "record", "records") + " kept";
        return false;
    }

    std::string path_;
    uint64_t ring_size_;  // 0: no ring
    unsigned ring_files_;
    CAPLIB_OUTPUT *writer_ = nullptr;
    FILE *stream_ = nullptr;  // the writer's
    std::vector<char> io_;
    int fd_ = -1;  // the file, to cut it back and sync it
    bool regular_ = false;
    uint64_t size_ = 0;     // of the file with every record written
    uint64_t flushed_ = 0;  // of the file at the last flush
    std::vector<uint64_t> ends_;  // of the records written since
    uint64_t kept_ = 0;
};

// ---- the capture ----

volatile sig_atomic_t g_stop = 0;
pcap_t *g_handle = nullptr;

void stop(int) {
    g_stop = 1;
    if (g_handle) pcap_breakloop(g_handle);
}

void catch_stop_signals() {
    struct sigaction action = {};
    action.sa_handler = stop;  // no SA_RESTART: a blocked read returns
    // SIGINT ends a capture also where a shell started it in the
    // background, with SIGINT ignored; under nohup SIGHUP stays ignored.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction old;
    if (sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
    // A file size limit fails the write, which cuts the file back.
    signal(SIGXFSZ, SIG_IGN);
}

struct Capture {
    pcap_t *handle = nullptr;
    const LinkIn *link = nullptr;
    std::string name;
    unsigned long long limit = 0;     // 0: none
    CaptureFile *file = nullptr;      // or
    CAPLIB_OUTPUT *trace = nullptr;   // to standard output
    InputReport report;     // frames and those skipped
    uint64_t records = 0;
    bool failed = false;
    int trace_rc = CAPLIB_OK, trace_error = 0;
    std::string error;

    bool done() const { return failed || (limit && records == limit); }
};

void on_frame(u_char *user, const pcap_pkthdr *h, const u_char *bytes) {
    Capture &c = *reinterpret_cast<Capture *>(user);
    if (c.done()) return;
    ++c.report.frames;
    CAPLIB_PAKET p{};
    switch (convert(*c.link, bytes, h->caplen, h->len, p)) {
    case Conversion::record: break;
    case Conversion::not_carried: ++c.report.not_carried; return;
    case Conversion::cut_header: ++c.report.cut_header; return;
    }
    ++c.report.converted;
    p.name = c.name.c_str();
    p.time.tv_sec = static_cast<int32_t>(h->ts.tv_sec);
    p.time.tv_usec = static_cast<int32_t>(h->ts.tv_usec);
    p.number = static_cast<uint32_t>(++c.records);
    if (c.file) {
        c.failed = !c.file->write(p, c.error);
    } else {
        errno = 0;
        c.trace_rc = CAPLIB_output_paket(c.trace, &p);
        c.trace_error = errno ? errno : EIO;
        c.failed = c.trace_rc != CAPLIB_OK;
    }
    if (c.done()) pcap_breakloop(c.handle);
}

// Why an interface cannot be opened, as tcpdump tells it: libpcap's status
// text and its detail when that says more ("eth0: You don't have
// permission to perform this capture on that device (socket: Operation
// not permitted)").
std::string activate_error(const std::string &interface, pcap_t *h, int rc) {
    std::string detail = pcap_geterr(h), status = pcap_statustostr(rc);
    if (rc == PCAP_ERROR) return interface + ": " + detail;
    return interface + ": " + status + (detail.empty() || detail == status ? "" : " (" + detail + ")");
}

// The usage error of the options, "" when they go together.
std::string misused(const Options &o) {
    if (o.interface.empty()) return "capture needs -i INTERFACE";
    if (o.out.empty() && (o.has_limit || o.ring_size || o.ring_files))
        return std::string(o.has_limit ? "--append-limit" : o.ring_size ? "-C" : "-W") + " needs -w OUT.eth";
    if (!o.ring_size != !o.ring_files) return "-C and -W go together";
    if (o.ring_size && o.has_limit) return "a ring (-C) continues its file by its own size, without --append-limit";
    if (!o.out.empty() && (o.hex || o.sep != "\n")) return std::string(o.hex ? "-x" : "--sep") + " is for the trace, without -w";
    return "";
}

int capture(const Options &o, pcap_t *h) {
    int rc = pcap_activate(h);
    if (rc < 0) return failure(activate_error(o.interface, h, rc));
    if (rc > 0) note(activate_error(o.interface, h, rc));
    int link_type = pcap_datalink(h);
    const LinkIn *link = find_link(static_cast<uint32_t>(link_type));
    const char *link_name = pcap_datalink_val_to_name(link_type);
    std::string link_text = "link type " + std::to_string(link_type) + (link_name ? std::string(" (") + link_name + ")" : "");
    if (!link) return failure(o.interface + ": " + link_text + " has no layer code");
    if (!o.filter.empty()) {
        bpf_u_int32 net = 0, mask = 0;
        char err[PCAP_ERRBUF_SIZE];
        if (pcap_lookupnet(o.interface.c_str(), &net, &mask, err) != 0) mask = 0;
        bpf_program program;
        if (pcap_compile(h, &program, o.filter.c_str(), 1, mask) != 0)
            return usage_error("the filter does not compile: " + std::string(pcap_geterr(h)));
        // In the kernel, frames the filter refuses never reach the buffer.
        int set = pcap_setfilter(h, &program);
        pcap_freecode(&program);
        if (set != 0) return failure(o.interface + ": " + pcap_geterr(h));
    }

    Capture c;
    c.handle = h;
    c.link = link;
    c.name = o.interface;
    c.limit = o.count;
    std::string error;
    std::unique_ptr<CaptureFile> file;
    if (!o.out.empty()) {
        file = std::make_unique<CaptureFile>(o.out, o.ring_size, o.ring_files);
        if (!file->open(o.has_limit, o.limit, error)) return failure(error);
        c.file = file.get();
    } else {
        static char stdout_buffer[1 << 18];
        std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
        if (!(c.trace = trace_output(stdout, o.sep, o.hex, o.buffered))) return failure("out of memory");
    }
    g_handle = h;
    catch_stop_signals();
    note("capturing on " + o.interface + ", " + link_text);

    while (!g_stop && !c.done()) {
        int n = pcap_dispatch(h, -1, on_frame, reinterpret_cast<u_char *>(&c));
        if (n == PCAP_ERROR) {
            c.error = o.interface + ": " + pcap_geterr(h);
            break;
        }
        // Flushed as records come: a record waits at most for the frames
        // of its block.
        if (!c.done() && file && !o.buffered && !file->flush(c.error)) c.failed = true;
    }
    // What reached the buffer before the signal is written too.
    char err[PCAP_ERRBUF_SIZE];
    if (g_stop && !c.done() && c.error.empty() && pcap_setnonblock(h, 1, err) == 0)
        pcap_dispatch(h, -1, on_frame, reinterpret_cast<u_char *>(&c));
    if (file && !c.failed && !file->finish(c.error)) c.failed = true;
    if (c.trace) CAPLIB_output_close(c.trace, CAPLIB_OK);

    if (!c.error.empty()) return failure(c.error);
    if (c.trace_rc == CAPLIB_ERR_FORMAT) return failure("a record header did not fit the trace line");
    if (c.trace_rc != CAPLIB_OK) return stdout_failed(c.trace_error);
    if (c.trace && !stdout_ok()) return stdout_failed(errno);
    pcap_stat stats{};
    std::string line = plural(c.records, "record", "records") + " captured";
    // Not every platform counts.
    if (pcap_stats(h, &stats) == 0)
        line += ", " + std::to_string(stats.ps_recv) + " received by filter, " + std::to_string(stats.ps_drop) +
                " dropped by kernel";
    note(line);
    note(c.report.skipped_text(o.interface));
    return 0;
}

}  // namespace

int cmd_capture(const Options &o) {
    std::string misuse = misused(o);
    if (!misuse.empty()) return usage_error(misuse);
    if (!o.out.empty()) {
        if (!has_extension(o.out, ".eth")) return failure(o.out + ": capture files must have the extension .eth");
        std::string why = refuse_output(o.out);
        if (!why.empty()) return failure(why);
    }
    char err[PCAP_ERRBUF_SIZE] = "";
    pcap_t *h = pcap_create(o.interface.c_str(), err);
    if (!h) return failure(o.interface + ": " + err);
    pcap_set_snaplen(h, static_cast<int>(kMaxPcapFrame));
    pcap_set_buffer_size(h, kKernelBuffer);
    pcap_set_timeout(h, kBlockTimeout);
    pcap_set_tstamp_precision(h, PCAP_TSTAMP_PRECISION_MICRO);
    int rc = capture(o, h);
    g_handle = nullptr;
    pcap_close(h);
    return rc;
}

}  // namespace caplib_tool
