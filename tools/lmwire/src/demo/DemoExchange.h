#pragma once

// The two rules that keep the demo's logon exchange its own: one deadline for the whole
// exchange, so that a peer trickling bytes cannot stretch it call by call, and a server that
// talks only to the demo's own client, so that another local process connecting first can
// neither hold the exchange nor take the client's place. Kept free of sockets to be tested
// without any.

#include <netinet/in.h>

#include <algorithm>
#include <chrono>

namespace lmwire {

class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    Deadline(Clock::time_point start, Clock::duration limit) : end_(start + limit) {}

    // Milliseconds a wait begun at `now` may take: what is left of the exchange, rounded up so
    // that a wait never ends just before the deadline it was given, and 0 once it has passed.
    int WaitMs(Clock::time_point now) const {
        if (now >= end_) {
            return 0;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - now).count();
        return static_cast<int>(std::min<long long>(left, 24LL * 60 * 60 * 1000));
    }
    bool Passed(Clock::time_point now) const { return now >= end_; }

  private:
    Clock::time_point end_;
};

// Whether an accepted peer is the client whose own (getsockname) address is `client`: family,
// address and port all agree.
inline bool IsOwnClient(const sockaddr_in& peer, const sockaddr_in& client) {
    return peer.sin_family == client.sin_family && peer.sin_port == client.sin_port &&
           peer.sin_addr.s_addr == client.sin_addr.s_addr;
}

}  // namespace lmwire
