#include "Commands.h"

namespace lmwire {
void RunDemo() {}
}  // namespace lmwire
