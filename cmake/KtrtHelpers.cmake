# Compiler warnings for the project's own targets.
function(ktrt_set_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(KTRT_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

# ktrt_add_library(<target> EXPORT_NAME <name> INCLUDE_ROOT <dir> [SOURCES ...])
# A library of the project, exported as ktrt::<name>, whose headers are
# included from INCLUDE_ROOT both in the build tree and once installed.
function(ktrt_add_library target)
    cmake_parse_arguments(ARG "" "EXPORT_NAME;INCLUDE_ROOT" "SOURCES" ${ARGN})
    add_library(${target} ${ARG_SOURCES})
    add_library(ktrt::${ARG_EXPORT_NAME} ALIAS ${target})
    set_target_properties(${target} PROPERTIES
        EXPORT_NAME ${ARG_EXPORT_NAME}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR})
    target_include_directories(${target} PUBLIC
        "$<BUILD_INTERFACE:${ARG_INCLUDE_ROOT}>"
        "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
    target_compile_features(${target} PUBLIC cxx_std_17)
    ktrt_set_warnings(${target})
    install(TARGETS ${target} EXPORT ktrtTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# Installs the headers below <dir>/<subdir> as include/<subdir> (subdir may
# have several levels, e.g. ktrt/geometry), leaving out private detail/ folders.
function(ktrt_install_headers dir subdir)
    get_filename_component(parent "${subdir}" DIRECTORY)
    install(DIRECTORY "${dir}/${subdir}" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/${parent}"
        FILES_MATCHING PATTERN "*.h"
        PATTERN "detail" EXCLUDE)
endfunction()
