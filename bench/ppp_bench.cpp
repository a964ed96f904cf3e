// Decoding PPP frames: a control packet in column mode, IPv4/TCP in the chain.
#include <benchmark/benchmark.h>

#include "caplib.h"

namespace {

// LCP ConfReq: MRU, authentication CHAP/MD5, magic number, PFC.
const unsigned char kLcpConfReq[] = {0xFF, 0x03, 0xC0, 0x21, 0x01, 0x07, 0x00, 0x15, 0x01,
                                     0x04, 0x05, 0xDC, 0x03, 0x05, 0xC2, 0x23, 0x05, 0x05,
                                     0x06, 0x0A, 0x0B, 0x0C, 0x0D, 0x07, 0x02};

// PPP, IPv4 (20 bytes), TCP (20 bytes) SYN to port 80.
const unsigned char kPppIpTcp[] = {
    0xFF, 0x03, 0x00, 0x21,                                                  // PPP
    0x45, 0x00, 0x00, 0x28, 0x12, 0x34, 0x40, 0x00, 0x40, 0x06, 0x00, 0x00,  // IPv4
    0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0x02,                          //
    0x04, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,  // TCP
    0x50, 0x02, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00};

void BM_PppLcpConfReqColumns(benchmark::State &state) {
    char text[256];
    for (auto _ : state) {
        CAPLIB_decode_ppp(kLcpConfReq, sizeof kLcpConfReq, text, sizeof text);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_PppLcpConfReqColumns);

// IPCP ConfReq: address, VJ compression, primary and secondary DNS.
const unsigned char kIpcpConfReq[] = {0xFF, 0x03, 0x80, 0x21, 0x01, 0x01, 0x00, 0x1C, 0x03, 0x06,
                                      0xC0, 0xA8, 0x00, 0x01, 0x02, 0x06, 0x00, 0x2D, 0x0F, 0x01,
                                      0x81, 0x06, 0x0A, 0x00, 0x00, 0x01, 0x83, 0x06, 0x0A, 0x00,
                                      0x00, 0x02};

void BM_PppIpcpConfReqColumns(benchmark::State &state) {
    char text[256];
    for (auto _ : state) {
        CAPLIB_decode_ppp(kIpcpConfReq, sizeof kIpcpConfReq, text, sizeof text);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_PppIpcpConfReqColumns);

void BM_PppIpv4TcpChain(benchmark::State &state) {
    char text[2048];
    for (auto _ : state) {
        CAPLIB_decode(0, kPppIpTcp, sizeof kPppIpTcp, text, sizeof text, "\n");
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_PppIpv4TcpChain);

}  // namespace
