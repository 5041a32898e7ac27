#pragma once

#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"

// Thrown by pointer (`throw new VeyException(...)`); the catcher owns and deletes it.
class LMWIRE_API VeyException {
  public:
    explicit VeyException(const std::string& message);
    virtual ~VeyException();

    std::int32_t code;
    std::string message;
};
