#include "wire_types/support/detail/WireStrings.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>

#include "wire_types/support/detail/AnsiCodePage.h"
#include "wire_types/support/detail/OleDates.h"

namespace Lumera::detail {

namespace {

constexpr OLECHAR kEmpty[] = {0};

// Atomic: read by every thread that allocates a text, whenever the tests set it.
std::atomic<TextAllocationGate> textGate{nullptr};

bool TextAllowed() noexcept {
    const TextAllocationGate gate = textGate.load(std::memory_order_relaxed);
    return gate == nullptr || gate();
}

std::size_t UnitsBeforeZero(const OLECHAR* text) noexcept {
    std::size_t units = 0;
    while (text[units] != 0) {
        ++units;
    }
    return units;
}

[[noreturn]] void ThrowOutOfMemory() {
    throw _com_error(E_OUTOFMEMORY);
}

}  // namespace

BSTR NarrowToWide(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text);
    // Windows-1252 gives one unit per byte, so the string is allocated once and filled in place.
    BSTR result = AllocateWideUnits(length);
    for (std::size_t i = 0; i < length; ++i) {
        result[i] = AnsiCharToWide(static_cast<unsigned char>(text[i]));
    }
    return result;
}

BSTR AllocateWideUnits(std::size_t units) {
    // Cut to the allocator's 32-bit count, a longer text would get a short string and the copy
    // would run past its end.
    if (static_cast<std::uint64_t>(units) > std::numeric_limits<unsigned int>::max()) {
        ThrowOutOfMemory();
    }
    BSTR result =
        TextAllowed() ? SysAllocStringLen(nullptr, static_cast<unsigned int>(units)) : nullptr;
    if (result == nullptr) {
        ThrowOutOfMemory();
    }
    return result;
}

char* WideToNarrow(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const std::size_t units = UnitsBeforeZero(text);
    char* narrow = new char[units + 1];
    for (std::size_t i = 0; i <= units; ++i) {
        narrow[i] = WideCharToAnsi(text[i]);
    }
    return narrow;
}

long WireStringSize(const BSTR* field) {
    if (field == nullptr || *field == nullptr) {
        return 1;
    }
    return static_cast<long>(UnitsBeforeZero(*field)) + 1;
}

void WriteWireString(const OLECHAR* value, long& offset, unsigned char* buffer) {
    const OLECHAR* text = value != nullptr ? value : kEmpty;
    // Windows-1252 keeps one byte per unit, so the narrow text and its terminator take exactly
    // the units and one byte, the size the flat form promises.
    std::size_t i = 0;
    for (; text[i] != 0; ++i) {
        buffer[offset + static_cast<long>(i)] = static_cast<unsigned char>(WideCharToAnsi(text[i]));
    }
    buffer[offset + static_cast<long>(i)] = 0;
    offset += static_cast<long>(i) + 1;
}

void ReadWireString(long& offset, BSTR* field, unsigned char* buffer) {
    // The converted string is new and of exactly the text's length: it becomes the field.
    BSTR converted = NarrowToWide(reinterpret_cast<const char*>(buffer + offset));
    *field = converted;
    offset += static_cast<long>(SysStringLen(converted)) + 1;
}

std::string GetWireText(const OLECHAR* field) {
    std::string text;
    if (field != nullptr) {
        const std::size_t units = UnitsBeforeZero(field);
        text.resize(units);
        for (std::size_t i = 0; i < units; ++i) {
            text[i] = WideCharToAnsi(field[i]);
        }
    }
    return text;
}

void SetWireText(BSTR& field, const std::string& value) {
    BSTR converted = NarrowToWide(value.c_str());
    SysFreeString(field);
    field = converted;
}

void FreeWireText(BSTR& field) noexcept {
    SysFreeString(field);
    field = nullptr;
}

BSTR CopyWireText(const OLECHAR* field) noexcept {
    return TextAllowed() ? SysAllocString(field != nullptr ? field : kEmpty) : nullptr;
}

BSTR DuplicateWireText(const OLECHAR* field) {
    BSTR copy = CopyWireText(field);
    if (copy == nullptr) {
        ThrowOutOfMemory();
    }
    return copy;
}

void SetTextAllocationGate(TextAllocationGate gate) noexcept {
    textGate.store(gate, std::memory_order_relaxed);
}

void KeepAnsiUnits(BSTR text) noexcept {
    if (text == nullptr) {
        return;
    }
    for (; *text != 0; ++text) {
        // ASCII and Latin-1 units map to themselves; only the rest needs the code page.
        const OLECHAR unit = *text;
        if (unit >= 0x80 && (unit < 0xA0 || unit > 0xFF)) {
            *text = AnsiCharToWide(static_cast<unsigned char>(WideCharToAnsi(unit)));
        }
    }
}

double CurrentOleDate() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    double date = 0.0;
    CalendarToOleDate(now, date);
    return date;
}

long OleDateToUnixTime(double date) {
    SYSTEMTIME calendar{};
    OleDateToCalendar(date, calendar);
    FILETIME intervals{};
    CalendarToFileTime(calendar, intervals);
    const std::uint64_t since1601 =
        (static_cast<std::uint64_t>(intervals.dwHighDateTime) << 32) | intervals.dwLowDateTime;
    const std::uint64_t seconds = (since1601 - 116444736000000000ULL) / 10000000ULL;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
}

double UnixTimeToOleDate(double seconds) {
    return 25569.0 + seconds / 86400.0;
}

}  // namespace Lumera::detail
