// The order hot paths, each beside its floor in the same binary:
//
// - an order event received: CLMWireOrder from a populated WireOrder and its destruction,
//   against a deep copy by hand (one allocation and memcpy of the record, five SysAllocString
//   copies, then release);
// - the heap that one order keeps;
// - a working order and then its fill filed in a book of 10,000 working orders, against
//   std::map<long, void*> insert and erase of a new key in a map of 10,000;
// - the book shared by 1 and by 4 threads that replace their working orders and query it.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/support/detail/WireStrings.h"

// Every operator new of the program is counted, so that the heap of one order can be reported.
// Kept out of line: inlined, GCC takes the free() inside for a mismatch with new.
namespace {
std::atomic<std::size_t> g_newBytes{0};
}

__attribute__((noinline)) void* operator new(std::size_t size) {
    g_newBytes.fetch_add(size, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* block) noexcept {
    std::free(block);
}
__attribute__((noinline)) void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using Lumera::CLMWireOrder;
using Lumera::CLMWireOrderCollection;
using Lumera::WireOrder;

// An order event as the server fills one: every number set, five short texts.
struct PopulatedRecord {
    WireOrder record;
    PopulatedRecord() {
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (std::size_t i = 4; i < WireOrder::kFixedSize; ++i) {
            bytes[i] = static_cast<unsigned char>(i * 13);
        }
        record.OrderStatus = Lumera::osWorking;
        auto* contract = reinterpret_cast<unsigned char*>(&record.Contract);
        for (std::size_t i = 0; i < Lumera::WireContract::kFixedSize; ++i) {
            contract[i] = static_cast<unsigned char>(i * 5);
        }
        record.Contract.priceFormatCode = static_cast<Lumera::enumPriceFormatCode>(9);
        Lumera::detail::SetWireText(record.VeyID, "VEY-20261206-000042");
        Lumera::detail::SetWireText(record.ExchangeOrderNumber, "X7781234509");
        Lumera::detail::SetWireText(record.reservedText, "GTC");
        Lumera::detail::SetWireText(record.Contract.symbol, "ZN");
        Lumera::detail::SetWireText(record.Contract.name, "ZNH7");
    }
};

void OrderFromRecord(benchmark::State& state) {
    PopulatedRecord source;
    for (auto _ : state) {
        CLMWireOrder order(&source.record);
        benchmark::DoNotOptimize(order.getWireOrder());
    }
}
BENCHMARK(OrderFromRecord);

void OrderFromRecord_floor(benchmark::State& state) {
    PopulatedRecord source;
    const WireOrder& from = source.record;
    for (auto _ : state) {
        void* block = ::operator new(sizeof(WireOrder));
        std::memcpy(block, &from, sizeof(WireOrder));
        auto* copy = static_cast<WireOrder*>(block);
        copy->VeyID = SysAllocString(from.VeyID);
        copy->ExchangeOrderNumber = SysAllocString(from.ExchangeOrderNumber);
        copy->reservedText = SysAllocString(from.reservedText);
        copy->Contract.symbol = SysAllocString(from.Contract.symbol);
        copy->Contract.name = SysAllocString(from.Contract.name);
        benchmark::DoNotOptimize(copy);
        SysFreeString(copy->VeyID);
        SysFreeString(copy->ExchangeOrderNumber);
        SysFreeString(copy->reservedText);
        SysFreeString(copy->Contract.symbol);
        SysFreeString(copy->Contract.name);
        ::operator delete(block);
    }
}
BENCHMARK(OrderFromRecord_floor);

// Heap kept by one order: bytes asked of operator new, and the malloc heap in use (which also
// counts the texts, allocated with malloc, and the allocator's own overhead).
void OrderHeap(benchmark::State& state) {
    constexpr int kOrders = 1000;
    PopulatedRecord source;
    std::vector<std::unique_ptr<CLMWireOrder>> orders;
    orders.reserve(kOrders);
    double newBytes = 0, heapBytes = 0;
    for (auto _ : state) {
        const std::size_t newBefore = g_newBytes.load();
        const std::size_t heapBefore = mallinfo2().uordblks;
        for (int i = 0; i < kOrders; ++i) {
            orders.push_back(std::make_unique<CLMWireOrder>(&source.record));
        }
        newBytes = static_cast<double>(g_newBytes.load() - newBefore) / kOrders;
        heapBytes = static_cast<double>(mallinfo2().uordblks - heapBefore) / kOrders;
        orders.clear();
    }
    state.counters["new_bytes_per_order"] = newBytes;
    state.counters["heap_bytes_per_order"] = heapBytes;
}
BENCHMARK(OrderHeap)->Iterations(1);

std::unique_ptr<CLMWireOrder> Event(int status, long id, long originalID) {
    auto order = std::make_unique<CLMWireOrder>();
    order->setOrderStatus(static_cast<Lumera::enumOrderStatus>(status));
    order->setOrderID(id);
    order->setOriginalOrderID(originalID);
    order->setVeyID("VEY-20261206-000042");
    order->setSymbol("ZNH7");
    return order;
}

constexpr long kBookSize = 10000;

// Working orders under the even ids 0, 2, ..., 19998.
std::unique_ptr<CLMWireOrderCollection> Book() {
    auto book = std::make_unique<CLMWireOrderCollection>();
    for (long i = 0; i < kBookSize; ++i) {
        book->AddOrder(Event(2, 2 * i, 0).release());
    }
    return book;
}

// New ids fall between the held ones, in a scattered order.
std::vector<long> NewIds() {
    std::vector<long> ids(kBookSize);
    for (long i = 0; i < kBookSize; ++i) {
        ids[static_cast<std::size_t>(i)] = 2 * i + 1;
    }
    std::shuffle(ids.begin(), ids.end(), std::mt19937(11));
    return ids;
}

// One iteration is a batch of events; the orders are built and the book is renewed (its fills
// grow without end) outside the timing.
void WorkingThenFill(benchmark::State& state) {
    constexpr int kBatch = 1000;
    constexpr int kBatchesPerBook = 20;
    const std::vector<long> ids = NewIds();
    std::unique_ptr<CLMWireOrderCollection> book;
    std::vector<CLMWireOrder*> events;
    std::size_t next = 0;
    int batches = kBatchesPerBook;
    for (auto _ : state) {
        state.PauseTiming();
        if (batches++ == kBatchesPerBook) {
            book.reset();
            book = Book();
            batches = 1;
        }
        events.clear();
        for (int i = 0; i < kBatch; ++i) {
            const long id = ids[next++ % ids.size()];
            events.push_back(Event(2, id, 0).release());
            events.push_back(Event(3, id, 0).release());
        }
        state.ResumeTiming();
        for (CLMWireOrder* event : events) {
            book->AddOrder(event);
        }
    }
    state.counters["per_pair"] = benchmark::Counter(
        kBatch, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(WorkingThenFill);

void WorkingThenFill_floor(benchmark::State& state) {
    const std::vector<long> ids = NewIds();
    std::map<long, void*> map;
    for (long i = 0; i < kBookSize; ++i) {
        map.emplace(2 * i, &map);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        const long id = ids[next++ % ids.size()];
        map.emplace(id, &map);
        map.erase(id);
    }
    state.counters["per_pair"] = benchmark::Counter(
        1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(WorkingThenFill_floor);

// Each thread replaces its own working orders (status 4 naming the order it replaces) and asks
// for a working order and the fills of an id anywhere in the book: three operations per
// iteration. The replacements are built before the timing starts.
constexpr int kSharedIterations = 20000;
CLMWireOrderCollection* g_shared = nullptr;

void SharedBook(benchmark::State& state) {
    const int thread = state.thread_index();
    const int threads = state.threads();
    // Thread t owns the even ids 2i with i = t mod threads; a replacement takes an odd id of its
    // own, far above the book.
    std::vector<long> current;
    for (long i = thread; i < kBookSize; i += threads) {
        current.push_back(2 * i);
    }
    std::vector<CLMWireOrder*> replacements;
    long fresh = 1000001 + 2L * thread;
    for (int k = 0; k < kSharedIterations; ++k) {
        long& slot = current[static_cast<std::size_t>(k) % current.size()];
        replacements.push_back(Event(4, fresh, slot).release());
        slot = fresh;
        fresh += 2L * threads;
    }
    if (thread == 0) {
        g_shared = Book().release();
        for (long i = 0; i < kBookSize; ++i) {  // fills of some ids, for GetFills to find
            g_shared->AddOrder(Event(3, 2 * kBookSize + 2 * i, 0).release());
        }
    }
    std::mt19937 random(static_cast<unsigned>(thread));
    std::uniform_int_distribution<long> anyId(0, 4 * kBookSize);
    std::size_t k = 0;
    for (auto _ : state) {
        g_shared->AddOrder(replacements[k++]);
        benchmark::DoNotOptimize(g_shared->GetWorkingOrder(anyId(random)));
        benchmark::DoNotOptimize(g_shared->GetFills(anyId(random)));
    }
    state.SetItemsProcessed(3 * static_cast<std::int64_t>(state.iterations()));
    if (thread == 0) {
        delete g_shared;
        g_shared = nullptr;
    }
}
BENCHMARK(SharedBook)->Iterations(kSharedIterations)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
