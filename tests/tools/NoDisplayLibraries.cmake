# cmake -DPROGRAM=<file> -P NoDisplayLibraries.cmake
# Fails when the program asks the dynamic loader for a Qt display library: the registry
# tool must run on a machine that has none.
execute_process(COMMAND readelf --dynamic ${PROGRAM}
    OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "readelf could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
if(NOT needed MATCHES "libQt6Core")
    message(FATAL_ERROR "no Qt Core among the libraries of ${PROGRAM}; the check reads nothing: ${needed}")
endif()
foreach(library ${needed})
    if(library MATCHES "libQt6(Gui|Widgets|Charts|OpenGL|OpenGLWidgets)")
        message(FATAL_ERROR "${PROGRAM} needs ${library}")
    endif()
endforeach()
message(STATUS "${PROGRAM}: ${needed}")
