// A live order book fed by order events: each event is a CLMWireOrder whose status decides what
// the collection does with it. Working orders are filed by order id (a modification replaces the
// order it names), and a fill or a cancel retires the working order and is kept with the fills
// and cancels.
#include <cstdio>
#include <memory>
#include <vector>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

namespace {

std::unique_ptr<CLMWireOrder> Event(enumOrderStatus status, long orderID, long originalID, long qty,
                                    long price) {
    auto order = std::make_unique<CLMWireOrder>();
    order->setOrderStatus(status);
    order->setOrderID(orderID);
    order->setOriginalOrderID(originalID);
    order->setQty(qty);
    order->setPrice(price);
    order->setIsBuy(true);
    order->setPriceFormatCode(enumPriceFormatCode(6));
    return order;
}

// The book takes ownership of what it stores: fills and cancels always, a working order when its
// id is free, a removal never. What it does not store stays with the caller (here: is freed).
void Feed(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder> event) {
    const enumOrderStatus status = event->getOrderStatus();
    book.AddOrder(event.get());
    const bool stored =
        status == osFilled || status == osCancelled ||
        (status != osRemoved && book.GetWorkingOrder(event->getOrderID()) == event.get());
    if (stored) {
        event.release();
    }
}

void Show(CLMWireOrderCollection& book) {
    for (CLMWireOrder* order : book.GetWorkingOrders()) {
        std::printf("  working %ld: %ld @ %s\n", order->getOrderID(), order->getQty(),
                    order->PriceFromTicks(order->getPrice()).c_str());
    }
}

}  // namespace

int main() {
    CLMWireOrderCollection book;
    Feed(book, Event(osWorking, 1, 0, 5, 109 * 32 + 8));
    Feed(book, Event(osWorking, 2, 0, 3, 109 * 32 + 4));
    std::puts("two orders placed:");
    Show(book);

    Feed(book, Event(osModified, 3, 1, 8, 109 * 32 + 9));  // order 1 becomes order 3
    Feed(book, Event(osFilled, 2, 0, 3, 109 * 32 + 4));
    std::puts("order 1 modified into 3, order 2 filled:");
    Show(book);

    Feed(book, Event(osCancelled, 3, 0, 8, 109 * 32 + 9));
    std::printf("order 3 cancelled: %zu working, %zu fills, %zu cancels\n",
                book.GetWorkingOrders().size(), book.GetFills().size(), book.GetCancels().size());

    const bool ok = book.GetWorkingOrders().empty() && book.GetFills(2).size() == 1 &&
                    book.GetCancels().size() == 1 && book.GetWorkingOrder(1) == nullptr;
    return ok ? 0 : 1;
}
