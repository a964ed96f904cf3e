// The text trace on several threads: the calling thread gathers records
// into batches, workers compose each batch's text with TraceText, and the
// calling thread writes the batches in the order it read them, each when
// it needs the batch again, composing batches itself meanwhile. The
// output is byte for byte the single-threaded trace's; memory is a fixed
// pool of batches.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "caplib.h"

namespace caplib_tool {

struct ParallelTraceSettings {
    std::string separator = "\n";
    bool hex = false;
    bool input_numbers = false;  // number records by CAPLIB_PAKET::number (a filtered source), else by count
    unsigned threads = 2;        // composing threads, the calling one among them, from 1
    unsigned long long limit = 0;  // records to read, 0 for all
    // A batch is handed on at this many records or bytes of record data.
    size_t batch_records = 512;
    size_t batch_bytes = 512 * 1024;
    // Whether bytes a record points to (its name, its data) stay in place
    // until the source is closed: those are not copied. Empty: all are.
    std::function<bool(const void *)> data_stays = nullptr;
};

struct ParallelTraceResult {
    // CAPLIB_OK; CAPLIB_ERR_FORMAT when a header line did not fit (the
    // records before it are written); CAPLIB_ERR_WRITE when writing failed
    // (error: its errno); kNoResources when a thread or memory was missing
    // (error: ENOMEM or the thread's error).
    static constexpr int kNoResources = -100;
    int rc = CAPLIB_OK;
    int error = 0;
};

// Traces the records of in into stream, a batch at a time, which no other
// thread uses until it returns; in stays open. The stream is not flushed
// at the end.
ParallelTraceResult parallel_trace(CAPLIB_INPUT *in, FILE *stream, const ParallelTraceSettings &settings);

}  // namespace caplib_tool
