# Every include names its folder, so the folders' promise can be read off the sources:
# a core includes no windows, the platform knows neither product, and neither product
# knows the other. Run as: cmake -DSOURCE_ROOT=<src> -P IncludeLayers.cmake
set(rules
    # folder         forbidden include prefixes
    "common/|platform/ dialtally/ postpeek/ tools/"
    "platform/core/|platform/gui/ platform/mail/ dialtally/ postpeek/ tools/"
    "platform/mail/|platform/gui/ dialtally/ postpeek/ tools/"
    "platform/gui/|platform/mail/ dialtally/ postpeek/ tools/"
    "dialtally/core/|dialtally/gui/ platform/gui/ platform/mail/ postpeek/ tools/"
    "dialtally/gui/|postpeek/ tools/ platform/mail/"
    "postpeek/core/|postpeek/gui/ platform/gui/ dialtally/ tools/"
    "postpeek/gui/|dialtally/ tools/")
set(faults 0)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_ROOT} ${SOURCE_ROOT}/*.cpp ${SOURCE_ROOT}/*.h)
foreach(source ${sources})
    file(STRINGS ${SOURCE_ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    # A project header named without its folder hides its layer.
    get_filename_component(dir ${source} DIRECTORY)
    foreach(line ${includes})
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
        if(NOT header MATCHES "/" AND EXISTS ${SOURCE_ROOT}/${dir}/${header})
            message(SEND_ERROR "${source} includes \"${header}\" without its folder: \"${dir}/${header}\"")
            math(EXPR faults "${faults} + 1")
        endif()
    endforeach()
    foreach(rule ${rules})
        string(REPLACE "|" ";" parts "${rule}")
        list(GET parts 0 folder)
        list(GET parts 1 forbidden)
        string(FIND "${source}" "${folder}" at)
        if(NOT at EQUAL 0)
            continue()
        endif()
        separate_arguments(forbidden)
        foreach(line ${includes})
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
            foreach(prefix ${forbidden})
                string(FIND "${header}" "${prefix}" hit)
                if(hit EQUAL 0)
                    message(SEND_ERROR "${source} includes \"${header}\": ${folder} must not reach ${prefix}")
                    math(EXPR faults "${faults} + 1")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()
if(faults GREATER 0)
    message(FATAL_ERROR "${faults} include(s) cross the layers or hide their folder")
endif()
