#include "decode/bytes.h"

namespace caplib {
namespace {

thread_local uint64_t t_short_reads = 0;

}  // namespace

uint64_t short_reads() { return t_short_reads; }
void count_short_read() { ++t_short_reads; }

}  // namespace caplib
