#include "Demo.h"

#include <chrono>

#include "Commands.h"
#include "Output.h"
#include "Text.h"

namespace lmwire {

void RunDemo() {
    const auto start = std::chrono::steady_clock::now();
    Output out;
    out << "== 1. Logon handshake over loopback TCP ==\n" << DemoHandshake() << "\n";
    out << "== 2. Market-data price record as a ladder ==\n" << DemoLadder() << "\n";
    out << "== 3. Account contracts and roll-over look-up ==\n" << DemoAccount() << "\n";
    out << "== 4. Order events applied to a live order book ==\n" << DemoOrders() << "\n";
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    out << "demo finished in " << FormatDouble(static_cast<int>(took.count() * 10) / 10.0)
        << " ms\n";
    out.Finish();
}

}  // namespace lmwire
