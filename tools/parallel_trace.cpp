#include "parallel_trace.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "trace_text.h"

namespace caplib_tool {
namespace {

constexpr size_t kNone = SIZE_MAX;
constexpr size_t kInPlace = SIZE_MAX - 1;
constexpr size_t kAhead = 8;  // records

// A record copied out of the source, whose pointers last only until its
// next read; the name and the data lie in the batch's bytes, or the data
// where the source keeps them.
struct Record {
    CAPLIB_PAKET paket;
    size_t name_at;  // kNone: no name; kInPlace: at paket.name
    size_t data_at;  // kNone: no data; kInPlace: at paket.data
    uint32_t number;
};

// Batches keep their buffers from one use to the next: after the first
// rounds a record costs no allocation.
struct Batch {
    uint64_t sequence = 0;
    std::vector<Record> records;
    std::vector<unsigned char> bytes;
    size_t data_size = 0;  // of the records' data, copied or not
    // The records' texts one after the other, composed in place.
    std::unique_ptr<char[]> text;
    size_t text_size = 0, text_room = 0;
    bool whole = true;         // false: the record after the last composed has a header line too long
    bool no_memory = false;
};

// First in, first out, within a fixed number of slots: every batch takes
// its turn, so that all of them warm up.
class BatchQueue {
public:
    explicit BatchQueue(size_t slots) : slots_(slots, nullptr) {}
    bool empty() const { return size_ == 0; }
    void push(Batch *b) { slots_[(head_ + size_++) % slots_.size()] = b; }
    Batch *pop() {
        Batch *b = slots_[head_];
        head_ = (head_ + 1) % slots_.size();
        --size_;
        return b;
    }

private:
    std::vector<Batch *> slots_;
    size_t head_ = 0, size_ = 0;
};

class Pipeline {
public:
    Pipeline(FILE *stream, const ParallelTraceSettings &s)
        : s_(s), stream_(stream), batches_(2 * size_t{s.threads} + 2), free_(batches_.size()),
          work_(batches_.size()), ready_(batches_.size(), nullptr) {
        for (Batch &b : batches_) {
            b.records.reserve(s.batch_records);
            b.bytes.reserve(s.batch_bytes);
            // Room for a batch full of bytes: a hex dump takes a little over
            // three times the bytes it shows.
            b.text_room = (s.hex ? 4 : 1) * s.batch_bytes + TraceText::kText;
            b.text.reset(new char[b.text_room]);
            free_.push(&b);
        }
        for (unsigned i = 0; i < s.threads; ++i) composers_.push_back(std::make_unique<TraceText>(s.separator, s.hex));
    }

    // The calling thread reads and writes, and composes while the batch
    // it waits for is not ready; the workers, one thread fewer, compose.
    // So the threads are as many as the cores asked for, and none waits
    // while there is work.
    ParallelTraceResult run(CAPLIB_INPUT *in) {
        std::vector<std::thread> threads;
        threads.reserve(composers_.size());  // a failed growth would drop running threads
        try {
            for (size_t i = 1; i < composers_.size(); ++i)
                threads.emplace_back([this, c = composers_[i].get()] { work(*c); });
        } catch (const std::system_error &e) {
            fail(ParallelTraceResult::kNoResources, e.code().value());
        }
        if (!stop_) read(in);
        while (written_ < handed_) write_oldest();
        {
            std::lock_guard lock(m_);
            read_all_ = true;
        }
        work_ready_.notify_all();
        for (std::thread &t : threads) t.join();
        return result_;
    }

private:
    void read(CAPLIB_INPUT *in) {
        Batch *b = nullptr;
        uint32_t count = 0;
        unsigned long long n = 0;
        for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
            if (!b) b = take_batch();
            if (stop_) return;
            try {
                add(*b, *p, s_.input_numbers ? p->number : ++count, s_.data_stays);
            } catch (const std::bad_alloc &) {
                return fail(ParallelTraceResult::kNoResources, ENOMEM);
            }
            if (b->records.size() >= s_.batch_records || b->data_size >= s_.batch_bytes) {
                hand_on(b);
                b = nullptr;
            }
            if (++n == s_.limit) break;  // without reading on
        }
        if (b && !b->records.empty()) hand_on(b);
    }

    static void add(Batch &b, const CAPLIB_PAKET &p, uint32_t number,
                    const std::function<bool(const void *)> &stays) {
        Record &r = b.records.emplace_back(Record{p, kNone, kNone, number});
        if (p.name && stays && stays(p.name)) {
            r.name_at = kInPlace;
        } else if (p.name) {
            // The composer reads no further.
            size_t n = strnlen(p.name, TraceText::kLine);
            r.name_at = b.bytes.size();
            b.bytes.insert(b.bytes.end(), p.name, p.name + n);
            b.bytes.push_back(0);
        }
        if (p.data) {
            // Data that stay need no copy, which would cost the reading
            // thread more than all the rest of its work.
            if (stays && stays(p.data)) {
                r.data_at = kInPlace;
            } else {
                r.data_at = b.bytes.size();
                b.bytes.insert(b.bytes.end(), p.data, p.data + p.length);
            }
            b.data_size += p.length;
        }
    }

    static void compose(Batch &b, TraceText &composer) {
        b.text_size = 0;
        b.whole = true;
        b.no_memory = false;
        try {
            for (size_t i = 0; i < b.records.size(); ++i) {
                const Record &r = b.records[i];
                // Data left in place were read last on another core.
                if (i + kAhead < b.records.size() && b.records[i + kAhead].data_at == kInPlace)
                    __builtin_prefetch(b.records[i + kAhead].paket.data);
                CAPLIB_PAKET p = r.paket;
                if (r.name_at != kInPlace)
                    p.name = r.name_at == kNone ? nullptr : reinterpret_cast<const char *>(b.bytes.data() + r.name_at);
                if (r.data_at != kInPlace) p.data = r.data_at == kNone ? nullptr : b.bytes.data() + r.data_at;
                if (b.text_room - b.text_size < TraceText::kText) {
                    b.text_room *= 2;
                    std::unique_ptr<char[]> more(new char[b.text_room]);
                    std::memcpy(more.get(), b.text.get(), b.text_size);
                    b.text = std::move(more);
                }
                size_t n = composer.compose(p, r.number, b.text.get() + b.text_size);
                if (n == 0) {
                    b.whole = false;
                    return;
                }
                b.text_size += n;
            }
        } catch (const std::bad_alloc &) {
            b.no_memory = true;
        }
    }

    void work(TraceText &composer) {
        for (;;) {
            Batch *b;
            {
                std::unique_lock lock(m_);
                work_ready_.wait(lock, [&] { return !work_.empty() || read_all_; });
                if (work_.empty()) return;
                b = work_.pop();
            }
            if (!stop_) compose(*b, composer);
            {
                std::lock_guard lock(m_);
                ready_[b->sequence % ready_.size()] = b;
            }
            batch_ready_.notify_one();
        }
    }

    // The oldest batch in flight, once composed, written unless a failure
    // came first; then it is free. At most as many batches as slots are in
    // flight, so that sequence modulo slots names one of them.
    Batch *write_oldest() {
        Batch *b;
        {
            std::unique_lock lock(m_);
            Batch *&slot = ready_[written_ % ready_.size()];
            while (!slot) {
                if (work_.empty()) {
                    batch_ready_.wait(lock);
                    continue;
                }
                Batch *mine = work_.pop();
                lock.unlock();
                if (!stop_) compose(*mine, *composers_[0]);
                lock.lock();
                ready_[mine->sequence % ready_.size()] = mine;
            }
            b = std::exchange(slot, nullptr);
        }
        ++written_;
        if (!stop_) emit(*b);
        return b;
    }

    void emit(const Batch &b) {
        if (b.no_memory) return fail(ParallelTraceResult::kNoResources, ENOMEM);
        errno = 0;
        if (std::fwrite(b.text.get(), 1, b.text_size, stream_) != b.text_size || std::ferror(stream_))
            return fail(CAPLIB_ERR_WRITE, errno ? errno : EIO);
        if (!b.whole) fail(CAPLIB_ERR_FORMAT, 0);
    }

    // A batch never used, else the oldest, written first.
    Batch *take_batch() {
        Batch *b = free_.empty() ? write_oldest() : free_.pop();
        b->records.clear();
        b->bytes.clear();
        b->data_size = 0;
        return b;
    }

    void hand_on(Batch *b) {
        {
            std::lock_guard lock(m_);
            b->sequence = handed_++;
            work_.push(b);
        }
        work_ready_.notify_one();
    }

    // The first failure stands; everything after it is dropped.
    void fail(int rc, int error) {
        std::lock_guard lock(m_);
        if (result_.rc == CAPLIB_OK) result_ = {rc, error};
        stop_ = true;
    }

    const ParallelTraceSettings &s_;
    FILE *stream_;
    std::vector<Batch> batches_;
    std::vector<std::unique_ptr<TraceText>> composers_;

    std::mutex m_;
    std::condition_variable work_ready_, batch_ready_;
    BatchQueue free_;  // of the reading thread only
    BatchQueue work_;
    std::vector<Batch *> ready_;  // composed batches, at their sequence modulo the slots
    uint64_t handed_ = 0;         // batches handed to the workers
    uint64_t written_ = 0;        // of them, written or dropped
    bool read_all_ = false;
    std::atomic<bool> stop_{false};
    ParallelTraceResult result_;
};

}  // namespace

ParallelTraceResult parallel_trace(CAPLIB_INPUT *in, FILE *stream, const ParallelTraceSettings &settings) {
    ParallelTraceSettings s = settings;
    if (s.threads == 0) s.threads = 1;
    if (s.batch_records == 0) s.batch_records = 1;
    try {
        Pipeline pipeline(stream, s);
        return pipeline.run(in);
    } catch (const std::bad_alloc &) {
        return {ParallelTraceResult::kNoResources, ENOMEM};
    }
}

}  // namespace caplib_tool
