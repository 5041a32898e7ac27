# The plotting example on a synthetic capture: the tool writes the capture, the example draws
# it, and the picture must be a PNG with something in it.
#   cmake -DPYTHON=... -DTOOL=<lmwire> -DSCRIPT=plot_capture.py -DWORK_DIR=<dir> -P PlotCapture.cmake
file(MAKE_DIRECTORY ${WORK_DIR})
set(capture ${WORK_DIR}/capture.bin)
set(picture ${WORK_DIR}/plot_capture.png)
file(REMOVE ${picture})
execute_process(COMMAND ${TOOL} synth prices 20000 ${capture} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lmwire synth prices failed (${result})")
endif()
execute_process(COMMAND ${PYTHON} ${SCRIPT} ${capture} ${picture} --time-unit s
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "plot_capture.py failed (${result})")
endif()
file(SIZE ${picture} size)
file(READ ${picture} signature LIMIT 8 HEX)
if(size LESS 10000 OR NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${picture}: not a PNG with a plot in it (${size} bytes, ${signature})")
endif()
message(STATUS "${picture}: ${size} bytes")
