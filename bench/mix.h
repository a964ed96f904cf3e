// A deterministic stream of realistic records for benchmarks and for the
// whole-mix trace tests: frames assembled byte by byte, the same sequence
// for the same seed on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "caplib.h"

namespace caplib_mix {

enum class Kind {
    ethernet,  // layer 1: TCP (some NetBIOS/SMB), UDP (some name and browser
               // datagrams), ARP, ICMP, IPX, PPPoE sessions with LCP
    ppp,       // layer 0: LCP, PAP and IPCP negotiations around IPv4/TCP data
};

// 2026-03-29 00:59:58 UTC: the mix runs into the spring switch of
// central European time two seconds in, which the trace tests rely on.
inline constexpr int32_t kDefaultStart = 1774745998;

class Mix {
public:
    // The first record comes in second `start`, after `start_usec`.
    explicit Mix(Kind kind, uint64_t seed = 1, int32_t start = kDefaultStart, int32_t start_usec = 0);

    // The next record; it and its bytes stay valid until the next call.
    const CAPLIB_PAKET &next();

private:
    void ethernet_frame();
    void ppp_frame();

    // Frame pieces; each appends to frame_.
    void ether(const uint8_t *dst, const uint8_t *src, uint16_t type);
    size_t ipv4_begin(const uint8_t *src, const uint8_t *dst, uint8_t proto);
    void ipv4_end(size_t at);
    // A TCP connection: its segments carry consecutive sequence numbers.
    struct Flow {
        uint32_t host = 0;    // workstation
        uint32_t remote = 0;  // peer
        uint16_t port = 0;    // the service's port
        uint16_t eph = 0;     // the client's port
        uint32_t seq[2] = {};  // next sequence number from the client, from the service
        uint32_t sent = 0;     // segments so far
        uint32_t length = 0;   // segments before it closes; 0: not yet opened
    };
    Flow &flow(std::vector<Flow> &table, uint16_t port, bool established = false);
    // Appends the TCP header of f's next segment in one direction, or
    // inserts it at `at` in front of a payload already in the frame. A
    // segment with payload (n bytes) is sent with PSH, and n advances the
    // sequence number; returns the flags chosen (SYN, SYN/ACK and FIN
    // carry no payload).
    uint8_t segment(Flow &f, bool from_client, uint32_t n, size_t at = SIZE_MAX);
    void tcp(uint16_t sport, uint16_t dport, uint8_t flags, uint32_t seq, uint32_t ack,
             bool mss_option = false, size_t at = SIZE_MAX);
    size_t udp_begin(uint16_t sport, uint16_t dport);
    void udp_end(size_t at);
    void tcp_flow();
    void smb_flow();
    void name_service();
    void browser_datagram();
    void arp();
    void icmp();
    void ipx();
    void pppoe_lcp();
    void lcp_packet(uint8_t code, bool options);
    void ppp_data();
    void pad_to(size_t min);
    void payload(size_t n);

    uint32_t rnd();
    uint32_t below(uint32_t n) { return static_cast<uint32_t>((uint64_t{rnd()} * n) >> 32); }

    Kind kind_;
    uint64_t state_;
    int32_t sec_;
    int32_t usec_;
    uint32_t number_ = 0;
    uint32_t session_left_ = 0;  // PPP: records left in the current session
    uint32_t session_step_ = 0;
    uint32_t channel_ = 1;
    std::vector<Flow> web_;  // connections to web, mail and shell services
    std::vector<Flow> smb_;  // file server sessions
    std::vector<Flow> ppp_;  // connections of the PPP and PPPoE clients
    std::vector<uint8_t> frame_;
    CAPLIB_PAKET paket_{};
};

// Writes `records` records of the mix to path (a capture file name as the
// library takes it). False when the file cannot be written.
bool write_capture(const std::string &path, Kind kind, uint64_t records, uint64_t seed = 1,
                   int32_t start = kDefaultStart);

}  // namespace caplib_mix
