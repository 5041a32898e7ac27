# The package as a user gets it: an sdist built from a copy of the sources (as a fresh clone has
# them), installed offline from that tarball into a fresh virtual environment that sees the
# system's numpy, in one native build. The package is then imported from outside the source tree
# and must be the installed one. Given the tool (TOOL=ON: its libraries are there, so pip built it
# too), the venv's own `lmwire` must run, and the rest of the README's Python section runs as
# written: the Python block, which makes its own capture, then the plotting example on it.
#   cmake -DPYTHON=<interpreter> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch> -DVERSION=<x.y.z>
#         [-DTOOL=ON] -P VenvInstall.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(source ${WORK_DIR}/source)
file(COPY ${SOURCE_DIR}/ DESTINATION ${source} REGEX "/(\\.git|build[^/]*|__pycache__)$" EXCLUDE
     REGEX "\\.egg-info$" EXCLUDE)

function(run)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=PYTHONPATH
                            PIP_DISABLE_PIP_VERSION_CHECK=1 CMAKE_BUILD_PARALLEL_LEVEL=2 ${ARGN}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "failed (${result}): ${command}")
    endif()
endfunction()

# What `python -m build --sdist` calls (no semicolon: run() would split the line there).
run(${PYTHON} -c "from setuptools import build_meta\nbuild_meta.build_sdist('${WORK_DIR}')"
    WORKING_DIRECTORY ${source})
set(sdist ${WORK_DIR}/lmwire-${VERSION}.tar.gz)
set(venv ${WORK_DIR}/venv)
run(${PYTHON} -m venv --system-site-packages ${venv})
run(${venv}/bin/pip install --no-build-isolation --no-index ${sdist} WORKING_DIRECTORY ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
run(${venv}/bin/python -c [=[
import importlib.metadata, pathlib, re, sys, tarfile
import lmwire
assert lmwire.__file__.startswith(sys.prefix), lmwire.__file__
meta = importlib.metadata.metadata("lmwire")
assert (meta["Version"], meta["License"]) == (lmwire.__version__, "MIT"), meta
installed = {path.name for path in pathlib.Path(lmwire.__file__).parent.iterdir()}
assert {"py.typed", "_native.pyi"} <= installed, installed
names = tarfile.open(sys.argv[1]).getnames()
assert not [n for n in names if re.match(r"[^/]+/(tests|fuzz|bench|build)/", n)], names
assert lmwire.display(9, 1234) == "9.205"
packet = lmwire.LogonResponsePacket(error_code=3, port=9100)
assert lmwire.LogonResponsePacket.from_bytes(packet.to_bytes()) == packet
print("lmwire", lmwire.__version__, "installed at", lmwire.__file__)
]=] ${sdist} WORKING_DIRECTORY ${WORK_DIR}/elsewhere)

if(NOT TOOL)
    return()
endif()
execute_process(COMMAND ${venv}/bin/lmwire --version OUTPUT_VARIABLE version RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT version STREQUAL "lmwire ${VERSION}\n")
    message(FATAL_ERROR "${venv}/bin/lmwire --version: ${result}, '${version}'")
endif()
run(${venv}/bin/python -c [=[
import pathlib, re
section = pathlib.Path("README.md").read_text().split("\n## Python\n", 1)[1]
block = re.search(r"```python\n(.*?)```", section, re.S).group(1)
exec(compile(block, "README.md (Python section)", "exec"), {})
]=] WORKING_DIRECTORY ${source})
run(${venv}/bin/python examples/python/plot_capture.py prices.pcap plot.png --lumera-id 2
    --time-unit s WORKING_DIRECTORY ${source})
