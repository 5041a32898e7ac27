# The README's install line in a fresh virtual environment that sees the system's numpy, offline,
# from a copy of the sources (as a fresh clone has them); then the package is imported from
# outside the source tree and must be the installed one. Given the tool, the rest of the README's
# Python section runs as written: the sample capture, the plotting example and the Python block.
#   cmake -DPYTHON=<interpreter> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch> [-DTOOL=<lmwire>]
#         -P VenvInstall.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(source ${WORK_DIR}/source)
file(MAKE_DIRECTORY ${source})
file(COPY ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/LICENSE ${SOURCE_DIR}/cmake
          ${SOURCE_DIR}/wire_types DESTINATION ${source})
file(COPY ${SOURCE_DIR}/python DESTINATION ${source} PATTERN build EXCLUDE
     PATTERN *.egg-info EXCLUDE PATTERN __pycache__ EXCLUDE)
file(COPY ${SOURCE_DIR}/README.md DESTINATION ${source})
file(COPY ${SOURCE_DIR}/examples/python DESTINATION ${source}/examples)

function(run)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=PYTHONPATH
                            PIP_DISABLE_PIP_VERSION_CHECK=1 CMAKE_BUILD_PARALLEL_LEVEL=2 ${ARGN}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "failed (${result}): ${command}")
    endif()
endfunction()

set(venv ${WORK_DIR}/venv)
run(${PYTHON} -m venv --system-site-packages ${venv} WORKING_DIRECTORY ${source})
run(${venv}/bin/pip install --no-build-isolation --no-index ./python WORKING_DIRECTORY ${source})
file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
run(${venv}/bin/python -c [=[
import importlib.metadata, sys
import lmwire
assert lmwire.__file__.startswith(sys.prefix), lmwire.__file__
assert importlib.metadata.version("lmwire") == lmwire.__version__
assert lmwire.display(9, 1234) == "9.205"
packet = lmwire.LogonResponsePacket(error_code=3, port=9100)
assert lmwire.LogonResponsePacket.from_bytes(packet.to_bytes()) == packet
print("lmwire", lmwire.__version__, "installed at", lmwire.__file__)
]=] WORKING_DIRECTORY ${WORK_DIR}/elsewhere)

if(NOT TOOL)
    return()
endif()
run(${TOOL} synth prices 20000 prices.bin WORKING_DIRECTORY ${source})
run(${venv}/bin/python examples/python/plot_capture.py prices.bin plot.png --lumera-id 2
    --time-unit s WORKING_DIRECTORY ${source})
run(${venv}/bin/python -c [=[
import pathlib, re
section = pathlib.Path("README.md").read_text().split("\n## Python\n", 1)[1]
block = re.search(r"```python\n(.*?)```", section, re.S).group(1)
exec(compile(block, "README.md (Python section)", "exec"), {})
]=] WORKING_DIRECTORY ${source})
