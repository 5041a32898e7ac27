#include "wire_types/support/VeyException.h"

VeyException::VeyException(const std::string& text) : code(0), message(text) {}

VeyException::~VeyException() = default;
