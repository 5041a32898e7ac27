#pragma once

// The four sections of lmwire demo, each returning its text.

#include <string>

namespace lmwire {

std::string DemoHandshake();
std::string DemoLadder();
std::string DemoAccount();
std::string DemoOrders();

}  // namespace lmwire
