// Capture files, pcap and pcapng read from one sequential stream. Lengths
// in the input are never trusted for an allocation: buffers grow only as
// the bytes they announce arrive.
#include "input.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "capture/files.h"
#include "decode/bytes.h"

namespace caplib_tool {
namespace {

using caplib::Bytes;

// ---- mapped files cut short ----

// A mapped file that another process cuts short raises SIGBUS where a
// page past its new end is read. The handler puts a page of zeros there
// and marks the mapping cut, so that its stream ends the input with
// damage instead of the process ending.
struct Mapping {
    std::atomic<uintptr_t> begin{0};  // 0: a free slot
    std::atomic<size_t> size{0};
    std::atomic<bool> cut{false};
};
Mapping g_mappings[8];
size_t g_page = 4096;

void on_bus(int sig, siginfo_t *info, void *) {
    auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Mapping &m : g_mappings) {
        uintptr_t begin = m.begin.load();
        if (!begin || at < begin || at - begin >= m.size.load()) continue;
        void *page = reinterpret_cast<void *>(at & ~(g_page - 1));
        if (mmap(page, g_page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
        m.cut.store(true);
        return;
    }
    // Not a page of a mapped input: the signal's own action.
    signal(sig, SIG_DFL);
    raise(sig);
}

// A slot for a mapping, or null when all are taken: the file is read then.
Mapping *watch(const void *map, size_t size) {
    static const bool installed = [] {
        g_page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action = {};
        action.sa_sigaction = on_bus;
        action.sa_flags = SA_SIGINFO;
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    if (!installed) return nullptr;
    for (Mapping &m : g_mappings) {
        // Taken with a begin that no address passes, then filled.
        uintptr_t free = 0;
        if (!m.begin.compare_exchange_strong(free, UINTPTR_MAX)) continue;
        m.size.store(size);
        m.cut.store(false);
        m.begin.store(reinterpret_cast<uintptr_t>(map));
        return &m;
    }
    return nullptr;
}

// ---- mapping ahead ----

// Maps the pages of a mapped file a little ahead of its reader, and lets
// those far behind it go, on a thread of its own: mapping and unmapping
// them takes about a third of the time the reader of a large file
// spends, and the reader waits for none of it.
class Pager {
public:
    // The pages more than drop behind the reader are let go.
    Pager(uint8_t *map, size_t size, size_t drop) : map_(map), size_(size), drop_(drop) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error &) {
            // The reader maps its pages itself.
        }
    }
    ~Pager() {
        stop_.store(true);
        reader_.store(SIZE_MAX);
        reader_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    Pager(const Pager &) = delete;
    Pager &operator=(const Pager &) = delete;

    // The reader is at offset; called by the reader only.
    void at(size_t offset) {
        if (offset - told_ < kChunk) return;
        told_ = offset;
        reader_.store(offset);
        reader_.notify_one();
    }

private:
    static constexpr size_t kChunk = 1 << 20;
    static constexpr size_t kLead = 16 << 20;

    void run() {
        bool populate = true;
        size_t done = 0, dropped = 0;
        while (!stop_.load()) {
            size_t reader = reader_.load();
            // Read again from the start: the pages behind are mapped as read.
            if (reader < dropped) dropped = 0;
            if (reader - dropped >= 2 * drop_ && dropped + drop_ <= size_) {
                madvise(map_ + dropped, drop_, MADV_DONTNEED);
                dropped += drop_;
            } else if (populate && done < size_ && done - std::min(done, reader) < kLead) {
                size_t n = std::min(kChunk, size_ - done);
                // Fails on a kernel without it, or past the end of a file cut short.
                populate = madvise(map_ + done, n, MADV_POPULATE_READ) == 0;
                done += n;
            } else {
                reader_.wait(reader);
            }
        }
    }

    uint8_t *map_;
    size_t size_, drop_;
    size_t told_ = 0;
    std::atomic<size_t> reader_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// ---- the stream ----

// A regular file is mapped and its frames handed out where they lie in
// the mapping, which stays until the stream is closed: records then
// outlive the next read, and no copy is made. Other input (and a file
// that grows past its mapping) is read in large blocks into the stream's
// own buffer, frames handed out where they lie in it: a trace of a large
// file costs little more than the copies the kernel makes.
class Stream {
public:
    Stream(FILE *f, bool owned) : f_(f), owned_(owned), fd_(fileno(f)) {
        struct stat st;
        if (fd_ >= 0 && fstat(fd_, &st) == 0) {
            regular_ = S_ISREG(st.st_mode);
            device_ = st.st_dev;
            inode_ = st.st_ino;
            identified_ = true;
            if (regular_ && st.st_size > 0 && lseek(fd_, 0, SEEK_CUR) == 0) map(static_cast<uint64_t>(st.st_size));
        }
        // A memory stream has no descriptor and seeks like a file.
        seekable_ = regular_ || fd_ < 0;
    }
    ~Stream() {
        pager_.reset();
        if (map_) {
            munmap(map_, map_size_);
            watch_->begin.store(0);
        }
        if (owned_) std::fclose(f_);
    }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // Up to n bytes; fewer only at the end of the input or on a read error.
    size_t read(uint8_t *dst, size_t n) {
        Bytes b = take(n);
        if (b.size()) std::memcpy(dst, b.begin(), b.size());
        return b.size();
    }
    // Up to n bytes where they lie, valid until the next call (in the
    // mapping: until the stream is closed); fewer only at the end of the
    // input or on a read error. The buffer grows only as the bytes arrive.
    Bytes take(uint64_t n) {
        if (mapped_ && cut()) {
            // Nothing more: what follows may be zeros.
            if (error_.empty()) error_ = kCut;
            mapped_ = false;
            pos_ = end_ = 0;
            ended_ = true;
        }
        size_t got = fill(n);
        const uint8_t *at = data() + pos_;
        pos_ += got;
        offset_ += got;
        if (mapped_) {
            // The page cache is far from the processor's caches: the bytes
            // a little ahead are asked for before they are read.
            size_t ahead = std::min(pos_ + kAhead, end_);
            for (ahead_ = std::max(ahead_, pos_); ahead_ < ahead; ahead_ += 64) __builtin_prefetch(map_ + ahead_);
            if (pager_)
                pager_->at(pos_);
            else if (pos_ - dropped_ >= 2 * kDrop)
                drop_behind();
        }
        return Bytes(at, static_cast<uint32_t>(got));
    }
    // Puts the n bytes last taken (at most kKeep) back in front of the rest.
    void unread(size_t n) {
        pos_ -= n;
        offset_ -= n;
    }
    // Bytes left behind the current position: by the file's size, or by
    // reading a stream to its end.
    uint64_t rest() {
        struct stat st;
        if (regular_ && fstat(fd_, &st) == 0)
            return static_cast<uint64_t>(st.st_size) > offset_ ? static_cast<uint64_t>(st.st_size) - offset_ : 0;
        uint64_t n = 0;
        for (size_t got; (got = take(kBlock).size()) > 0;) n += got;
        return n;
    }
    bool rewind() {
        if (!seekable_) return false;
        off_t to = static_cast<off_t>(map_size_);  // the mapping is read again, then what follows it
        if (fd_ >= 0 ? lseek(fd_, to, SEEK_SET) != to : fseeko(f_, 0, SEEK_SET) != 0) return false;
        std::clearerr(f_);
        error_.clear();
        mapped_ = map_ != nullptr;
        pos_ = dropped_ = ahead_ = 0;
        end_ = map_size_;
        ended_ = false;
        offset_ = 0;
        return true;
    }

    // Whether the mapped file was cut short while it was read: the bytes
    // read since may be zeros.
    bool cut() const { return map_ && watch_->cut.load(std::memory_order_relaxed); }
    // Whether bytes lie in the mapping, and so stay until the stream is closed.
    bool stays(const void *bytes) const {
        auto *b = static_cast<const uint8_t *>(bytes);
        return map_ && b >= map_ && b < map_ + map_size_;
    }
    // Pages of a large mapped file are mapped ahead on a thread of its own.
    void map_ahead() {
        if (map_ && !pager_ && map_size_ >= kPaged) pager_ = std::make_unique<Pager>(map_, map_size_, kDrop);
    }
    uint64_t offset() const { return offset_; }
    // Why reading failed; "" when it did not.
    std::string error() const { return error_.empty() && cut() ? kCut : error_; }
    void identify(InputReport &r) const {
        r.identified = identified_;
        r.device = device_;
        r.inode = inode_;
    }

private:
    static constexpr size_t kBlock = 1 << 18;
    static constexpr size_t kKeep = 16;
    // The mapped pages far behind the reader are let go, so that a trace
    // of a large file holds a bounded part of it; bytes still in use
    // there are read in again.
    static constexpr size_t kDrop = 32 << 20;
    static constexpr size_t kAhead = 4096;
    static constexpr size_t kPaged = 64 << 10;  // smaller files are mapped by the reader
    static constexpr const char *kCut = "the file was cut short while it was read";

    const uint8_t *data() const { return mapped_ ? map_ : buf_.get(); }

    void map(uint64_t size) {
        if (size > SIZE_MAX) return;
        void *m = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd_, 0);
        off_t to = static_cast<off_t>(size);
        if (m == MAP_FAILED) return;
        if (lseek(fd_, to, SEEK_SET) != to || !(watch_ = watch(m, static_cast<size_t>(size)))) {
            munmap(m, static_cast<size_t>(size));
            lseek(fd_, 0, SEEK_SET);
            return;
        }
        madvise(m, static_cast<size_t>(size), MADV_SEQUENTIAL);
        map_ = static_cast<uint8_t *>(m);
        map_size_ = end_ = static_cast<size_t>(size);
        mapped_ = true;
    }
    void drop_behind() {
        madvise(map_ + dropped_, kDrop, MADV_DONTNEED);
        dropped_ += kDrop;
    }

    // Makes up to n bytes lie from pos_ on; returns how many do. The last
    // kKeep bytes taken stay in front of them, for unread.
    size_t fill(uint64_t n) {
        if (end_ - pos_ >= n) return static_cast<size_t>(n);
        size_t from = pos_ > kKeep ? pos_ - kKeep : 0;
        if (mapped_) {
            // The end of the mapping: what a file has gained since is read
            // behind the mapped bytes still wanted.
            size_t keep = end_ - from;
            if (keep > size_) {
                buf_.reset(new uint8_t[keep]);
                size_ = keep;
            }
            if (keep) std::memcpy(buf_.get(), map_ + from, keep);
            mapped_ = false;
            end_ = keep;
            pos_ -= from;
            from = 0;
        }
        if (from) {
            std::memmove(buf_.get(), buf_.get() + from, end_ - from);
            end_ -= from;
            pos_ -= from;
        }
        while (end_ - pos_ < n && !ended_) {
            if (end_ == size_) grow();
            size_t got = receive(buf_.get() + end_, size_ - end_);
            if (got == 0) ended_ = true;
            end_ += got;
        }
        return static_cast<size_t>(std::min<uint64_t>(n, end_ - pos_));
    }
    void grow() {
        size_t size = std::max(kBlock, 2 * size_);
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[size]);
        if (end_) std::memcpy(bigger.get(), buf_.get(), end_);
        buf_ = std::move(bigger);
        size_ = size;
    }
    // What the input has, up to n bytes; 0 at its end or on an error. A
    // pipe gives what has arrived, so that records show as they come.
    size_t receive(uint8_t *dst, size_t n) {
        if (fd_ < 0) {
            size_t got = std::fread(dst, 1, n, f_);
            if (got == 0 && std::ferror(f_) && error_.empty()) error_ = std::strerror(errno);
            return got;
        }
        for (;;) {
            ssize_t got = ::read(fd_, dst, n);
            if (got >= 0) return static_cast<size_t>(got);
            if (errno == EINTR) continue;
            if (error_.empty()) error_ = std::strerror(errno);
            return 0;
        }
    }

    FILE *f_;
    bool owned_;
    int fd_;  // read directly; -1 for a memory stream, read through f_
    std::unique_ptr<uint8_t[]> buf_{new uint8_t[kBlock]};
    size_t size_ = kBlock, pos_ = 0, end_ = 0;  // in the mapping while mapped_, else in buf_
    uint8_t *map_ = nullptr;
    Mapping *watch_ = nullptr;  // while mapped
    std::unique_ptr<Pager> pager_;  // of a large mapped file
    size_t map_size_ = 0, dropped_ = 0, ahead_ = 0;
    bool mapped_ = false;
    bool ended_ = false;
    uint64_t offset_ = 0;
    std::string error_;
    bool regular_ = false, seekable_ = false, identified_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// ---- link types to layers ----

}  // namespace

// How a link type's frames become records.
enum class Framing {
    plain,         // the frame is the layer's frame
    ppp_with_dir,  // a direction byte, then the PPP frame
    raw_ip,        // an IP packet; only version 4 is carried
    family,        // a 4-byte address family (either byte order), then IP
    cooked,        // Linux cooked header, the layer by its protocol type
    cooked2,       // the same in its second version
};

struct LinkIn {
    uint32_t link_type;
    Framing framing;
    uint32_t layer;  // for plain, ppp_with_dir, raw_ip and family
};

namespace {

// 12 and 14 are raw IP as some systems write it; 101 is its common number.
constexpr LinkIn kLinkIn[] = {
    {1, Framing::plain, CAPLIB_LAYER_ETHERNET},
    {6, Framing::plain, CAPLIB_LAYER_TOKENRING},
    {9, Framing::plain, CAPLIB_LAYER_PPP},
    {50, Framing::plain, CAPLIB_LAYER_PPP},
    {204, Framing::ppp_with_dir, CAPLIB_LAYER_PPP},
    {12, Framing::raw_ip, CAPLIB_LAYER_IP},
    {14, Framing::raw_ip, CAPLIB_LAYER_IP},
    {101, Framing::raw_ip, CAPLIB_LAYER_IP},
    {228, Framing::raw_ip, CAPLIB_LAYER_IP},
    {0, Framing::family, CAPLIB_LAYER_IP},
    {108, Framing::family, CAPLIB_LAYER_IP},
    {113, Framing::cooked, 0},
    {276, Framing::cooked2, 0},
};

struct CookedProtocol {
    uint32_t protocol;
    uint32_t layer;
};
constexpr CookedProtocol kCookedProtocols[] = {
    {0x0800, CAPLIB_LAYER_IP},
    {0x8137, CAPLIB_LAYER_IPX},
    {0x0806, CAPLIB_LAYER_ARP},
};

constexpr uint32_t kAfInet = 2;  // the same on every system that writes these files
constexpr uint32_t kCookedOutgoing = 4;

std::optional<uint32_t> cooked_layer(uint32_t protocol) {
    for (const CookedProtocol &c : kCookedProtocols)
        if (c.protocol == protocol) return c.layer;
    return std::nullopt;
}

}  // namespace

const LinkIn *find_link(uint32_t link_type) {
    for (const LinkIn &l : kLinkIn)
        if (l.link_type == link_type) return &l;
    return nullptr;
}

Conversion convert(const LinkIn &link, const uint8_t *data, uint32_t caplen, uint32_t orig_length, CAPLIB_PAKET &p) {
    Bytes frame(data, caplen);
    uint32_t strip = 0;
    p.layer = link.layer;
    p.direction = 0;
    switch (link.framing) {
    case Framing::plain:
        break;
    case Framing::ppp_with_dir:
        if (frame.size() < 1) return Conversion::cut_header;
        p.direction = frame.u8(0) != 0;
        strip = 1;
        break;
    case Framing::raw_ip:
        if (frame.size() < 1) return Conversion::cut_header;
        if (frame.u8(0) >> 4 != 4) return Conversion::not_carried;
        break;
    case Framing::family: {
        if (frame.size() < 4) return Conversion::cut_header;
        // The null link type keeps the family in the writer's byte order.
        if (frame.be32(0) != kAfInet && frame.le32(0) != kAfInet) return Conversion::not_carried;
        strip = 4;
        break;
    }
    case Framing::cooked:
    case Framing::cooked2: {
        bool v2 = link.framing == Framing::cooked2;
        strip = v2 ? 20 : 16;
        if (frame.size() < strip) return Conversion::cut_header;
        auto layer = cooked_layer(frame.be16(v2 ? 0 : 14));
        if (!layer) return Conversion::not_carried;
        p.layer = *layer;
        p.direction = (v2 ? frame.u8(10) : frame.be16(0)) == kCookedOutgoing;
        break;
    }
    }
    // Every framing has checked that its header is there.
    p.data = frame.begin() + strip;
    p.length = frame.size() - strip;
    p.orig_length = orig_length >= strip ? orig_length - strip : 0;
    return Conversion::record;
}

namespace {

// ---- the source ----

constexpr uint32_t kPcapMicro = 0xA1B2C3D4, kPcapNano = 0xA1B23C4D;
constexpr uint32_t kSectionHeader = 0x0A0D0D0A, kByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t kInterfaceBlock = 1, kOldPacketBlock = 2, kSimplePacketBlock = 3, kEnhancedPacketBlock = 6;
constexpr uint32_t kOptEnd = 0, kOptName = 2, kOptTsresol = 9;
constexpr size_t kMaxName = 255;
constexpr size_t kSniff = 16;

struct Interface {
    const LinkIn *link;  // null: no layer code
    uint32_t snaplen;
    uint8_t tsresol;  // as the if_tsresol option gives it
    std::string name;
};

// One frame as the file gives it; its bytes are in the stream's buffer.
struct Frame {
    const Interface *interface;
    uint64_t sec;
    uint32_t usec;
    Bytes bytes;
    uint32_t orig_length;
};

enum class Got { frame, end, damage };

struct Source {
    CAPLIB_INPUT pub;  // first: the object is its own priv
    CAPLIB_PAKET current{};
    std::unique_ptr<Stream> stream;
    std::string label;
    std::string name;  // the caller's, when has_name
    std::string cut_name;  // of the last capture record, when its name area lacks the NUL
    bool has_name = false;
    InputReport *report = nullptr;
    InputFormat format = InputFormat::capture;

    bool big_endian = false;  // of the pcap file or the pcapng section
    bool nanoseconds = false;
    std::vector<Interface> interfaces;  // of the pcapng section
    uint32_t interfaces_before = 0;     // described in the sections before
    uint32_t sections = 0;
    bool layer_seen = false;            // an interface with a layer code

    std::optional<Frame> held;  // read while looking for a layer
    bool ended = false;
    bool started = false;  // records were asked for since the start
    uint32_t delivered = 0;

    uint32_t u16(Bytes b, uint32_t off) const { return big_endian ? b.be16(off) : b.le16(off); }
    uint32_t u32(Bytes b, uint32_t off) const { return big_endian ? b.be32(off) : b.le32(off); }

    // Reading stops here; what broke goes to the report.
    Got damaged(std::string why) {
        ended = true;
        report->damage = stream->error().empty() ? std::move(why) : "reading failed: " + stream->error();
        return Got::damage;
    }
    Got cut(const std::string &what, uint64_t got, uint64_t want) {
        return damaged(what + " is cut short: " + std::to_string(got) + " of " + std::to_string(want) + " bytes");
    }
    std::string at(uint64_t offset) const { return " at byte " + std::to_string(offset); }

    void add_interface(uint32_t link_type, uint32_t snaplen, uint8_t tsresol, std::string if_name) {
        const LinkIn *link = find_link(link_type);
        if (link)
            layer_seen = true;
        else
            report->link_types_without_layer.insert(link_type);
        if (if_name.empty())
            if_name = "if" + std::to_string(interfaces_before + static_cast<uint32_t>(interfaces.size()));
        interfaces.push_back({link, snaplen, tsresol, std::move(if_name)});
    }
};

// ---- capture files ----

CAPLIB_PAKET *next_capture_record(Source &s) {
    uint64_t start = s.stream->offset();
    uint8_t h[caplib::RECORD_HEADER_SIZE];
    size_t got = s.stream->read(h, sizeof h);
    caplib::RecordHeader header;
    bool whole = false;
    Bytes body;
    if (got == sizeof h && caplib::read_record_header(h, header)) {
        body = s.stream->take(header.body);
        whole = body.size() == header.body;
    }
    if (!whole) {
        if (got == 0 && s.stream->error().empty()) {
            s.ended = true;
            return nullptr;
        }
        uint64_t bad = s.stream->offset() - start + s.stream->rest();
        s.damaged(std::to_string(bad) + " bytes are not a record");
        return nullptr;
    }
    ++s.report->frames;
    ++s.report->converted;
    // As the library places a record, but without writing into the input,
    // which may be a mapped file: a name area without its NUL is cut in a copy.
    CAPLIB_PAKET &p = s.current;
    p = header.fields;
    if (header.name_length) {
        auto *name = reinterpret_cast<const char *>(body.begin());
        if (name[header.name_length - 1] != 0) {
            s.cut_name.assign(name, header.name_length - 1);
            name = s.cut_name.c_str();
        }
        p.name = name;
    }
    p.data = body.begin() + header.name_area;
    p.number = ++s.delivered;
    return &s.current;
}

// ---- pcap ----

Got next_pcap_frame(Source &s, Frame &f) {
    uint8_t h[16];
    size_t got = s.stream->read(h, sizeof h);
    if (got == 0 && s.stream->error().empty()) return Got::end;
    if (got < sizeof h) return s.cut("a frame header", got, sizeof h);
    Bytes head(h, sizeof h);
    uint32_t caplen = s.u32(head, 8);
    Bytes frame = s.stream->take(caplen);
    if (frame.size() < caplen) return s.cut("a frame", frame.size(), caplen);
    uint32_t frac = s.u32(head, 4);
    f = Frame{&s.interfaces[0], s.u32(head, 0), s.nanoseconds ? frac / 1000 : frac, frame, s.u32(head, 12)};
    return Got::frame;
}

// ---- pcapng ----

// Seconds and microseconds of a time stamp counted in units of 10^-n
// seconds (bit 7 of tsresol clear) or 2^-n seconds (set).
void split_time(uint64_t ts, uint8_t tsresol, uint64_t &sec, uint32_t &usec) {
    using u128 = unsigned __int128;
    uint32_t n = tsresol & 0x7F;
    u128 units = 1;
    if (tsresol & 0x80) {
        units <<= n;
    } else {
        // Past 10^38 no 64-bit count reaches a microsecond.
        for (uint32_t i = 0; i < std::min<uint32_t>(n, 38); ++i) units *= 10;
    }
    sec = static_cast<uint64_t>(ts / units);
    usec = static_cast<uint32_t>(ts % units * 1000000 / units);
}

// The interface's name from an interface description block's options, or
// damage when an option runs past the block.
bool read_interface(Source &s, Bytes body, uint64_t offset) {
    if (body.size() < 8) {
        s.damaged("the interface block" + s.at(offset) + " is too short");
        return false;
    }
    uint8_t tsresol = 6;
    std::string name;
    for (uint32_t o = 8; body.has(o, 4);) {
        uint32_t code = s.u16(body, o), len = s.u16(body, o + 2);
        if (code == kOptEnd) break;
        if (!body.has(o + 4, len)) {
            s.damaged("an option of the interface block" + s.at(offset) + " runs past the block");
            return false;
        }
        if (code == kOptName) {
            std::string_view text = body.chars(o + 4, len);
            for (char c : text.substr(0, std::min(text.find('\0'), kMaxName)))
                name += c >= 0x20 && c < 0x7F ? c : '?';
        } else if (code == kOptTsresol && len >= 1) {
            tsresol = body.u8(o + 4);
        }
        o += 4 + ((len + 3) & ~3u);
    }
    s.add_interface(s.u16(body, 0), s.u32(body, 4), tsresol, std::move(name));
    return true;
}

// A section header block's byte order and version; false with damage.
bool read_section(Source &s, Bytes body, uint64_t offset) {
    s.interfaces_before += static_cast<uint32_t>(s.interfaces.size());
    s.interfaces.clear();
    uint32_t major = s.u16(body, 4), minor = s.u16(body, 6);
    if (major != 1) {
        s.damaged("the section" + s.at(offset) + " has version " + std::to_string(major) + "." +
                  std::to_string(minor));
        return false;
    }
    ++s.sections;
    return true;
}

Got next_pcapng_frame(Source &s, Frame &f) {
    for (;;) {
        uint64_t offset = s.stream->offset();
        uint8_t h[12];
        size_t got = s.stream->read(h, 8);
        if (got == 0 && s.stream->error().empty()) return Got::end;
        if (got < 8) return s.cut("the block" + s.at(offset), got, 8);
        Bytes head(h, sizeof h);
        uint32_t type = s.u32(head, 0);
        if (type == kSectionHeader) {
            // The section's byte order comes before its length means anything.
            got = s.stream->read(h + 8, 4);
            if (got < 4) return s.cut("the block" + s.at(offset), 8 + got, 12);
            uint32_t magic = head.le32(8);
            if (magic != kByteOrderMagic && magic != __builtin_bswap32(kByteOrderMagic))
                return s.damaged("the section" + s.at(offset) + " has no byte-order magic");
            s.big_endian = magic != kByteOrderMagic;
        }
        uint32_t length = s.u32(head, 4);
        uint32_t least = type == kSectionHeader ? 28 : 12;
        if (length < least || length % 4)
            return s.damaged("the block" + s.at(offset) + " has the length " + std::to_string(length));
        // The whole block where it lies, its head taken again.
        s.stream->unread(type == kSectionHeader ? 12 : 8);
        Bytes block = s.stream->take(length);
        if (block.size() < length) return s.cut("the block" + s.at(offset), block.size(), length);
        Bytes body = block.slice(8, length - 12);
        if (s.u32(block, length - 4) != length)
            return s.damaged("the block" + s.at(offset) + " does not end with its length");

        uint32_t interface = 0, fixed = 0, caplen = 0, orig_length = 0;
        uint64_t ts = 0;
        switch (type) {
        case kSectionHeader:
            if (!read_section(s, body, offset)) return Got::damage;
            continue;
        case kInterfaceBlock:
            if (!read_interface(s, body, offset)) return Got::damage;
            continue;
        case kEnhancedPacketBlock:
        case kOldPacketBlock:
            fixed = 20;
            if (body.size() < fixed) return s.damaged("the packet block" + s.at(offset) + " is too short");
            interface = type == kOldPacketBlock ? s.u16(body, 0) : s.u32(body, 0);
            ts = uint64_t{s.u32(body, 4)} << 32 | s.u32(body, 8);
            caplen = s.u32(body, 12);
            orig_length = s.u32(body, 16);
            if (caplen > body.size() - fixed)
                return s.damaged("the packet block" + s.at(offset) + " holds fewer bytes than its captured length " +
                                 std::to_string(caplen));
            break;
        case kSimplePacketBlock:
            fixed = 4;
            if (body.size() < fixed) return s.damaged("the packet block" + s.at(offset) + " is too short");
            orig_length = s.u32(body, 0);
            caplen = std::min(orig_length, body.size() - fixed);
            break;
        default:
            continue;  // statistics, name resolution, comments, ...
        }
        if (interface >= s.interfaces.size())
            return s.damaged("the packet block" + s.at(offset) + " names interface " + std::to_string(interface) +
                             ", which the section does not describe");
        const Interface &i = s.interfaces[interface];
        if (type == kSimplePacketBlock && i.snaplen) caplen = std::min(caplen, i.snaplen);
        f = Frame{&i, 0, 0, Bytes(body.begin() + fixed, caplen), orig_length};
        split_time(ts, i.tsresol, f.sec, f.usec);
        return Got::frame;
    }
}

Got next_frame(Source &s, Frame &f) {
    if (s.held) {
        f = *s.held;
        s.held.reset();
        return Got::frame;
    }
    if (s.ended) return Got::end;
    Got got = s.format == InputFormat::pcap ? next_pcap_frame(s, f) : next_pcapng_frame(s, f);
    if (got == Got::end) s.ended = true;
    if (got == Got::frame) ++s.report->frames;
    return got;
}

CAPLIB_PAKET *next_record(Source &s) {
    s.started = true;
    if (s.format == InputFormat::capture) return s.ended ? nullptr : next_capture_record(s);
    for (Frame f; next_frame(s, f) == Got::frame;) {
        CAPLIB_PAKET &p = s.current;
        if (!f.interface->link) {
            ++s.report->no_layer;
            continue;
        }
        switch (convert(*f.interface->link, f.bytes.begin(), f.bytes.size(), f.orig_length, p)) {
        case Conversion::record:
            // The file keeps 32 bits of each; the bit patterns go through unchanged.
            p.time.tv_sec = static_cast<int32_t>(static_cast<uint32_t>(f.sec));
            p.time.tv_usec = static_cast<int32_t>(f.usec);
            p.name = s.has_name ? s.name.c_str() : f.interface->name.c_str();
            p.number = ++s.delivered;
            ++s.report->converted;
            return &p;
        case Conversion::not_carried: ++s.report->not_carried; break;
        case Conversion::cut_header: ++s.report->cut_header; break;
        }
    }
    return nullptr;
}

std::string begins_text(const uint8_t *head, size_t n) {
    if (n == 0) return "it is empty";
    std::string text = "begins";
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        text += ' ';
        text += kDigits[head[i] >> 4];
        text += kDigits[head[i] & 15];
    }
    return text;
}

// Reads the file header and what follows it up to the first interface
// with a layer code. False with the reason when no record can come.
bool start(Source &s, std::string &why) {
    InputReport &r = *s.report;
    r = InputReport{};
    s.stream->identify(r);
    s.interfaces.clear();
    s.interfaces_before = 0;
    s.sections = 0;
    s.layer_seen = false;
    s.held.reset();
    s.ended = false;
    s.started = false;

    uint8_t head[caplib::FILE_HEADER_SIZE];
    size_t got = s.stream->read(head, kSniff);
    if (!s.stream->error().empty()) {
        why = s.stream->error();
        return false;
    }
    s.stream->unread(got);
    Bytes sniff(head, static_cast<uint32_t>(got));
    uint32_t magic = sniff.le32(0), swapped = sniff.be32(0);
    std::string_view ident(caplib::FILE_IDENT, sizeof caplib::FILE_IDENT);
    if (magic == caplib::FILE_MAGIC && sniff.chars(4, sizeof caplib::FILE_IDENT) == ident) {
        s.format = r.format = InputFormat::capture;
        got = s.stream->read(head, sizeof head);
        if (got < sizeof head) {
            why = "the capture file header is cut short (" + std::to_string(got) + " of 64 bytes)";
            return false;
        }
        caplib::read_file_header(head, s.pub.info);
        return true;
    }
    bool pcap = magic == kPcapMicro || magic == kPcapNano || swapped == kPcapMicro || swapped == kPcapNano;
    bool pcapng = magic == kSectionHeader && (sniff.le32(8) == kByteOrderMagic || sniff.be32(8) == kByteOrderMagic);
    if (!pcap && !pcapng) {
        why = "not a capture, pcap or pcapng file (" + begins_text(head, std::min<size_t>(got, 8)) + ")";
        return false;
    }
    s.format = r.format = pcap ? InputFormat::pcap : InputFormat::pcapng;
    if (pcap) {
        got = s.stream->read(head, 24);
        if (got < 24) {
            why = "the pcap file header is cut short (" + std::to_string(got) + " of 24 bytes)";
            return false;
        }
        s.big_endian = swapped == kPcapMicro || swapped == kPcapNano;
        s.nanoseconds = magic == kPcapNano || swapped == kPcapNano;
        Bytes h(head, 24);
        // The upper bits of the link type word describe a frame check sequence.
        s.add_interface(s.u32(h, 20) & 0x03FFFFFF, s.u32(h, 16), 6, "");
    }
    // A file whose interfaces all lack a layer code is refused whole, so
    // frames are read until an interface with one is known.
    Frame f;
    while (!s.layer_seen && next_frame(s, f) == Got::frame) {
        if (f.interface->link) {
            s.held = f;
            break;
        }
        ++r.no_layer;
    }
    if (s.format == InputFormat::pcapng && s.ended && !r.damage.empty() && s.sections == 0) {
        why = r.damage;
        return false;
    }
    if (!s.layer_seen && !r.link_types_without_layer.empty()) {
        bool one = r.link_types_without_layer.size() == 1;
        why = (one ? "link type " : "link types ") + r.link_types() + (one ? " has" : " have") + " no layer code; " +
              plural(r.frames, "frame", "frames") + " skipped";
        return false;
    }
    return true;
}

Source *self(CAPLIB_INPUT *in) { return static_cast<Source *>(in->priv); }

CAPLIB_PAKET *source_next(CAPLIB_INPUT *in) { return next_record(*self(in)); }

// Records were delivered: a file starts over, a stream has nothing more.
CAPLIB_PAKET *source_first(CAPLIB_INPUT *in) {
    Source &s = *self(in);
    if (s.started) {
        std::string why;
        if (!s.stream->rewind()) {
            s.ended = true;
            return nullptr;
        }
        if (!start(s, why)) {
            s.ended = true;
            s.report->damage = why;
            return nullptr;
        }
    }
    return next_record(s);
}

// Records read before the file was cut short may hold zeros where their
// bytes were lost: the input is damaged, even where it was read to its end.
void source_close(CAPLIB_INPUT *in) {
    Source &s = *self(in);
    if (s.stream->cut() && s.report->damage.empty()) s.report->damage = "reading failed: " + s.stream->error();
    delete &s;
}

CAPLIB_INPUT *open(FILE *f, bool owned, const std::string &label, const char *name, InputReport &report,
                   std::string &error) {
    auto s = std::make_unique<Source>();
    s->pub = CAPLIB_INPUT{source_first, source_next, source_close, s.get(), {0, 0, 0}};
    s->stream = std::make_unique<Stream>(f, owned);
    s->label = label;
    s->has_name = name != nullptr;
    if (name) s->name = name;
    s->report = &report;
    std::string why;
    if (!start(*s, why)) {
        error = s->stream->error().empty() ? label + ": " + why : "cannot read " + label + ": " + why;
        return nullptr;
    }
    return &s.release()->pub;
}

}  // namespace

void map_ahead(CAPLIB_INPUT *source) {
    if (source->close == source_close) self(source)->stream->map_ahead();
}

bool bytes_stay(CAPLIB_INPUT *source, const void *bytes) {
    return source->close == source_close && bytes && self(source)->stream->stays(bytes);
}

std::string input_label(const std::string &path) { return path == "-" ? "standard input" : path; }

CAPLIB_INPUT *open_input(const std::string &path, const char *name, InputReport &report, std::string &error) {
    report = InputReport{};
    if (path == "-") return open(stdin, false, input_label(path), name, report, error);
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return open(f, true, path, name, report, error);
}

CAPLIB_INPUT *open_input_stream(FILE *stream, const std::string &label, const char *name, InputReport &report,
                                std::string &error) {
    report = InputReport{};
    if (!stream) {
        error = label + ": " + std::strerror(errno);
        return nullptr;
    }
    return open(stream, true, label, name, report, error);
}

std::string InputReport::link_types() const {
    std::string list;
    for (uint32_t t : link_types_without_layer) list += (list.empty() ? "" : ", ") + std::to_string(t);
    return list;
}

std::string InputReport::skipped_text(const std::string &label) const {
    if (!skipped()) return "";
    std::string reasons;
    auto add = [&](const std::string &text) { reasons += (reasons.empty() ? "" : ", ") + text; };
    if (not_carried) add(std::to_string(not_carried) + " not IPv4, IPX or ARP");
    if (cut_header) add(plural(cut_header, "with its link header cut short", "with their link headers cut short"));
    if (no_layer) add(std::to_string(no_layer) + " of link types without a layer code: " + link_types());
    return label + ": " + std::to_string(skipped()) + " of " + plural(frames, "frame", "frames") + " skipped (" +
           reasons + ")";
}

std::string InputReport::damage_text(const std::string &label, const char *done) const {
    if (format == InputFormat::capture)
        return label + ": damaged after record " + std::to_string(converted) + " (" + damage +
               "); the records before it were " + done;
    std::string text = label + ": damaged after " + plural(frames, "frame", "frames") + " (" + damage + "); " +
                       std::to_string(converted) + " converted";
    if (skipped()) text += ", " + std::to_string(skipped()) + " skipped";
    return text;
}

bool InputReport::same_file(const std::string &path) const {
    struct stat st;
    return identified && stat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

}  // namespace caplib_tool
