#pragma once

// listen and replay: price records on the live wire, through the capture component's receiver,
// sender and pacer. Where the component was not built, both say so as bad input.

#include <cstdint>
#include <string>
#include <vector>

#include "io/Output.h"

namespace lmwire {

struct ListenOptions {
    std::string address;  // ADDRESS:PORT, a unicast address to bind or a group to join
    std::string interface;
    std::string source;       // a group's one sender (ADDRESS, source-specific), or empty
    std::uint64_t count = 0;  // records; 0 for no limit
    double seconds = 0;       // --for; 0 for no limit
    std::string record;       // a pcapng of what arrives, or empty
    Compress compress;        // of the recording
    bool print = false;       // print the records even while recording them
    bool json = false;
    bool csv = false;
    std::string timeUnit;
    bool withSource = false;   // the receive time and sender before each record
    bool anyDatagram = false;  // every datagram, as decode --port takes them
    double statsSeconds = 0;   // 0: statistics only at the end
    int receiveBuffer = 0;     // bytes; 0 for the system's default
};
void RunListen(const ListenOptions& options);

struct ReplayOptions {
    std::string file;
    std::string address;
    std::string interface;
    double speed = 0;  // a multiple of the recorded pace; 0 when not given
    double rate = 0;   // datagrams a second; 0 when not given
    bool max = false;  // as fast as the sender goes
    int records = 1;   // per datagram of a raw capture
    int loop = 1;
    int ttl = 1;
    bool noLoopback = false;
    std::vector<int> ports;
};
void RunReplay(const ReplayOptions& options);

}  // namespace lmwire
