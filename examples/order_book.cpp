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
// id is free, a removal never. Apply says which, and leaves in `event` only what stays the
// caller's (here: freed on return).
Filed Feed(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder> event) {
    return book.Apply(event);
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
    bool ok = Feed(book, Event(osWorking, 1, 0, 5, 109 * 32 + 8)) == Filed::Working;
    ok &= Feed(book, Event(osWorking, 2, 0, 3, 109 * 32 + 4)) == Filed::Working;
    std::puts("two orders placed:");
    Show(book);

    // A second working order under id 2 is not stored; the book keeps the first.
    ok &= Feed(book, Event(osWorking, 2, 0, 9, 109 * 32 + 1)) == Filed::DuplicateId;
    ok &= Feed(book, Event(osModified, 3, 1, 8, 109 * 32 + 9)) == Filed::Working;  // 1 becomes 3
    ok &= Feed(book, Event(osFilled, 2, 0, 3, 109 * 32 + 4)) == Filed::FillOrCancel;
    std::puts("order 1 modified into 3, order 2 filled:");
    Show(book);

    ok &= Feed(book, Event(osCancelled, 3, 0, 8, 109 * 32 + 9)) == Filed::FillOrCancel;
    std::printf("order 3 cancelled: %zu working, %zu fills, %zu cancels\n",
                book.GetWorkingOrders().size(), book.GetFills().size(), book.GetCancels().size());

    ok &= book.GetWorkingOrders().empty() && book.GetFills(2).size() == 1 &&
          book.GetCancels().size() == 1 && book.GetWorkingOrder(1) == nullptr;
    return ok ? 0 : 1;
}
