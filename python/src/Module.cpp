// lmwire._native: the compiled half of the Python package. The package's Python modules give
// these functions their final shape (scalars or arrays, errors="mask", paths); what is here
// works on contiguous buffers and numpy arrays of fixed types.

#include <string>

#include "Bindings.h"
#include "wire_types/Version.h"

PYBIND11_MODULE(_native, module) {
    module.doc() = "LMWireTypes bindings: price records, price conversions and packets";
    module.attr("__version__") = std::to_string(LMWIRE_VERSION_MAJOR) + "." +
                                 std::to_string(LMWIRE_VERSION_MINOR) + "." +
                                 std::to_string(LMWIRE_VERSION_PATCH);
    lmwire::binding::BindPriceRecords(module);
    lmwire::binding::BindConversions(module);
    lmwire::binding::BindPackets(module);
    lmwire::binding::BindAccountDataPacket(module);
    lmwire::binding::BindAccountContract(module);
    lmwire::binding::BindCaptures(module);
    lmwire::binding::BindLive(module);
    lmwire::binding::BindDataset(module);
}
