#pragma once

// The parts of the extension module lmwire._native, each bound by its own file. The module
// reaches the library through its public headers only, as any other consumer does.

#include <pybind11/pybind11.h>

namespace lmwire::binding {

namespace py = pybind11;

void BindPriceRecords(py::module_& module);
void BindConversions(py::module_& module);
void BindPackets(py::module_& module);
void BindAccountDataPacket(py::module_& module);
void BindAccountContract(py::module_& module);
void BindCaptures(py::module_& module);
void BindLive(py::module_& module);
void BindDataset(py::module_& module);

}  // namespace lmwire::binding
