# Reads the layering table (cmake/Layering.cmake) into variables, for the
# configure step that sets up the checks and for the check script itself.
#   QUOREL_LAYERS, QUOREL_LAYER_<layer>_{TARGETS,FOLDERS,HEADERS,USES,QT,EXTERNAL}
#   QUOREL_EXTERNALS, QUOREL_EXTERNAL_<name>_{INCLUDE,TARGETS}
#   QUOREL_QT_MODULES, QUOREL_QT_<module>_USES
set(QUOREL_LAYERS)
set(QUOREL_EXTERNALS)
set(QUOREL_QT_MODULES)

macro(quorel_external name)
    cmake_parse_arguments(QUOREL_EXT "" "INCLUDE" "TARGETS" ${ARGN})
    list(APPEND QUOREL_EXTERNALS ${name})
    set(QUOREL_EXTERNAL_${name}_INCLUDE ${QUOREL_EXT_INCLUDE})
    set(QUOREL_EXTERNAL_${name}_TARGETS ${QUOREL_EXT_TARGETS})
endmacro()

macro(quorel_qt_module module)
    cmake_parse_arguments(QUOREL_QTM "" "" "USES" ${ARGN})
    list(APPEND QUOREL_QT_MODULES ${module})
    set(QUOREL_QT_${module}_USES ${QUOREL_QTM_USES})
endmacro()

macro(quorel_layer name)
    cmake_parse_arguments(QUOREL_L "" "" "TARGETS;FOLDERS;HEADERS;USES;QT;EXTERNAL" ${ARGN})
    if(QUOREL_L_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "cmake/Layering.cmake: layer ${name}: unknown words ${QUOREL_L_UNPARSED_ARGUMENTS}")
    endif()
    list(APPEND QUOREL_LAYERS ${name})
    foreach(field TARGETS FOLDERS HEADERS USES QT EXTERNAL)
        set(QUOREL_LAYER_${name}_${field} ${QUOREL_L_${field}})
    endforeach()
endmacro()

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Layering.cmake)
