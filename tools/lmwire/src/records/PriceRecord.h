#pragma once

// The price-record kind (decode and encode of one record) and its lines.

#include "records/Kinds.h"
#include "records/RecordLines.h"
