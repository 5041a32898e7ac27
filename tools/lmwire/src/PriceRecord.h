#pragma once

// The price-record kind (decode and encode of one record) and its lines.

#include "Kinds.h"
#include "RecordLines.h"
