#pragma once

// Every row's display format read at compile time into a plan of at most three conversions, for
// the display writer and for the parser of display texts.

#include <cstddef>

#include "wire_types/price/PriceFormat.h"
#include "wire_types/support/Bytes.h"

namespace Lumera::detail {

// The formats use only literal text, "%c" and "%d" with an optional '0' flag and width, which the
// plan renders byte for byte as printf does.

constexpr int kMaxConversions = 3;
constexpr int kMaxLiteral = 3;

struct Conversion {
    char literal[kMaxLiteral] = {};  // text before the conversion
    int literalLength = 0;
    bool character = false;  // %c, else %d
    bool zeroPad = false;
    int width = 0;
};

struct DisplayPlan {
    Conversion conversions[kMaxConversions] = {};
    int count = 0;
    char tail[kMaxLiteral] = {};  // text after the last conversion
    int tailLength = 0;
    bool valid = true;
};

constexpr DisplayPlan PlanOf(const char* format) {
    DisplayPlan plan;
    char literal[kMaxLiteral] = {};
    int literalLength = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            if (literalLength == kMaxLiteral) {
                plan.valid = false;
                return plan;
            }
            literal[literalLength++] = *p;
            continue;
        }
        if (plan.count == kMaxConversions) {
            plan.valid = false;
            return plan;
        }
        Conversion& conversion = plan.conversions[plan.count++];
        for (int i = 0; i < literalLength; ++i) {
            conversion.literal[i] = literal[i];
        }
        conversion.literalLength = literalLength;
        literalLength = 0;
        ++p;
        conversion.zeroPad = *p == '0';
        while (IsDigit(*p)) {
            conversion.width = conversion.width * 10 + (*p - '0');
            ++p;
        }
        if (*p != 'd' && *p != 'c') {
            plan.valid = false;
            return plan;
        }
        conversion.character = *p == 'c';
    }
    for (int i = 0; i < literalLength; ++i) {
        plan.tail[i] = literal[i];
    }
    plan.tailLength = literalLength;
    return plan;
}

template <std::size_t Index>
inline constexpr DisplayPlan kPlan = PlanOf(kPriceFormatTable[Index].sprintfFormat);

}  // namespace Lumera::detail
