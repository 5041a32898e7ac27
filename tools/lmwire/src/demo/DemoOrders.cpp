// A stream of order events applied to a live order book, with the book after each event.

#include <memory>
#include <vector>

#include <fmt/format.h>

#include "common/Text.h"
#include "demo/Demo.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/price/Price.h"

namespace lmwire {
namespace {

// Quarter points: 6012.25 is 24049 ticks.
constexpr auto kQuarterPoints = static_cast<Lumera::enumPriceFormatCode>(25);

struct Event {
    const char* what;
    Lumera::enumOrderStatus status;
    long orderID;
    long originalOrderID;
    bool buy;
    long qty;
    long price;
    long filledQty;
    long remaining;
};

std::unique_ptr<Lumera::CLMWireOrder> MakeOrder(const Event& event) {
    auto order = std::make_unique<Lumera::CLMWireOrder>();
    order->setOrderStatus(event.status);
    order->setOrderID(event.orderID);
    order->setOriginalOrderID(event.originalOrderID);
    order->setIsBuy(event.buy);
    order->setQty(event.qty);
    order->setOriginalQuantity(event.qty);
    order->setPrice(event.price);
    order->setFillQty(event.filledQty);
    order->setFillPrice(event.filledQty > 0 ? event.price : 0);
    order->setRemainingQuantity(event.remaining);
    order->setPriceFormatCode(kQuarterPoints);
    order->setSymbol("ES");
    order->setAccountID(5001);
    return order;
}

// The one-sign text that every display of the tool shows.
std::string Display(const Lumera::CLMWireOrder& order, long ticks) {
    return Lumera::price::Display(order.getPriceFormatCode(), static_cast<std::int32_t>(ticks));
}

std::string Working(Lumera::CLMWireOrder& order) {
    return fmt::format("#{}{}{} @ {}", order.getOrderID(), order.getIsBuy() ? " buy " : " sell ",
                       order.getQty(), Display(order, order.getPrice()));
}

std::string Filled(Lumera::CLMWireOrder& order) {
    return fmt::format("#{} {} @ {} ({} left)", order.getOrderID(), order.getFilledQty(),
                       Display(order, order.getFillPrice()), order.getRemainingQuantity());
}

std::string Cancelled(Lumera::CLMWireOrder& order) {
    return fmt::format("#{} {} @ {}", order.getOrderID(), order.getQty(),
                       Display(order, order.getPrice()));
}

std::string List(const std::vector<Lumera::CLMWireOrder*>& orders,
                 std::string (*show)(Lumera::CLMWireOrder&)) {
    if (orders.empty()) {
        return "-";
    }
    std::string text;
    for (Lumera::CLMWireOrder* order : orders) {
        text += (text.empty() ? "" : ", ") + show(*order);
    }
    return text;
}

// What the book did with an event, and so whether the book or the caller now owns it.
const char* Outcome(Lumera::Filed filed) {
    switch (filed) {
        case Lumera::Filed::Working:
            return "kept as a working order";
        case Lumera::Filed::FillOrCancel:
            return "kept as a fill or cancel";
        case Lumera::Filed::RetiredOnly:
            return "not kept (retires its original)";
        case Lumera::Filed::DuplicateId:
            return "not kept (id already held)";
        case Lumera::Filed::AlreadyHeld:
            return "already held";
        case Lumera::Filed::Refused:
            return "refused";
        case Lumera::Filed::Stored:
            return "stored";
    }
    return "?";
}

}  // namespace

std::string DemoOrders() {
    using namespace Lumera;
    const Event events[] = {
        {"working", osWorking, 101, 0, true, 5, 24049, 0, 5},
        {"working", osWorking, 102, 0, false, 2, 24080, 0, 2},
        {"working", osWorking, 104, 0, true, 1, 24000, 0, 1},
        {"working under a held id", osWorking, 102, 0, false, 4, 24084, 0, 4},
        {"replace 101 by 103", osModified, 103, 101, true, 5, 24052, 0, 5},
        {"partial fill of 103", osFilled, 103, 0, true, 5, 24052, 2, 3},
        {"working remainder", osWorking, 103, 0, true, 3, 24052, 0, 3},
        {"fill of 102", osFilled, 102, 0, false, 2, 24080, 2, 0},
        {"cancel of 103", osCancelled, 103, 0, true, 3, 24052, 0, 0},
        {"retire 104 (status 1)", osRemoved, 0, 104, true, 1, 24000, 0, 0},
    };
    CLMWireOrderCollection book;
    std::string out;
    int number = 0;
    for (const Event& event : events) {
        // What the book keeps, it owns and takes out of `order`; what it does not keep stays in
        // `order` and is freed with it.
        std::unique_ptr<CLMWireOrder> order = MakeOrder(event);
        const Filed filed = book.Apply(order);
        out += fmt::format(
            "{}. {}: status {}, order {}{} -> {}\n", ++number, event.what, event.status,
            event.orderID,
            event.originalOrderID != 0 ? fmt::format(", original {}", event.originalOrderID) : "",
            Outcome(filed));
        out += "     working  " + List(book.GetWorkingOrders(), Working) + "\n";
        out += "     fills    " + List(book.GetFills(), Filled) + "\n";
        out += "     cancels  " + List(book.GetCancels(), Cancelled) + "\n";
    }
    return out;
}

}  // namespace lmwire
