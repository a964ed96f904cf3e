// udp_send: datagrams to a port of 127.0.0.1, as fast as one sender can,
// for bench/capture.sh. Only the loopback address is ever a target.
//   udp_send PORT COUNT [BYTES]   (prints the seconds the sending took)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4) {
        std::fputs("usage: udp_send PORT COUNT [BYTES]\n", stderr);
        return 2;
    }
    long port = std::strtol(argv[1], nullptr, 10);
    long count = std::strtol(argv[2], nullptr, 10);
    long bytes = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 32;
    if (port < 1 || port > 65535 || count < 1 || bytes < 8 || bytes > 1400) {
        std::fputs("udp_send: PORT 1..65535, COUNT from 1, BYTES 8..1400\n", stderr);
        return 2;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A socket on the port that never reads: the datagrams are delivered
    // (and dropped when its buffer is full) without port-unreachable answers.
    int sink = socket(AF_INET, SOCK_DGRAM, 0);
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (sink < 0 || bind(sink, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0 || s < 0 ||
        connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        std::perror("udp_send");
        return 1;
    }
    std::vector<char> payload(static_cast<size_t>(bytes), 'x');
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        std::memcpy(payload.data(), &i, sizeof i);  // each datagram its own
        if (send(s, payload.data(), payload.size(), 0) < 0) {
            std::perror("udp_send");
            return 1;
        }
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", took.count());
    close(s);
    close(sink);
    return 0;
}
