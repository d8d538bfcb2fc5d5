# Boost.Filesystem for the target, compiled from the distribution's source
# package (brought by scripts/setup) against the headers of libboost1.74-dev.
set(ZSP_BOOST_SOURCE_DIR /usr/local/src/boost1.74 CACHE PATH
    "Root of the boost1.74 source package (libs/filesystem/src)")
set(ZSP_BOOST_HEADER_DIR /usr/include/boost CACHE PATH
    "Boost headers of libboost1.74-dev")

set(_fs_src ${ZSP_BOOST_SOURCE_DIR}/libs/filesystem/src)
if(NOT EXISTS ${_fs_src}/operations.cpp)
    message(FATAL_ERROR "Boost.Filesystem sources not found in ${_fs_src}; run scripts/setup")
endif()

# Only the boost folder may be seen: the rest of /usr/include is the host's.
set(_boost_inc ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${_boost_inc})
file(CREATE_LINK ${ZSP_BOOST_HEADER_DIR} ${_boost_inc}/boost SYMBOLIC)

add_library(boost_filesystem STATIC
    ${_fs_src}/codecvt_error_category.cpp
    ${_fs_src}/directory.cpp
    ${_fs_src}/exception.cpp
    ${_fs_src}/operations.cpp
    ${_fs_src}/path.cpp
    ${_fs_src}/path_traits.cpp
    ${_fs_src}/portability.cpp
    ${_fs_src}/unique_path.cpp
    ${_fs_src}/utf8_codecvt_facet.cpp
    ${_fs_src}/windows_file_codecvt.cpp
)
target_include_directories(boost_filesystem SYSTEM PUBLIC ${_boost_inc})
target_compile_definitions(boost_filesystem
    PUBLIC BOOST_FILESYSTEM_STATIC_LINK=1 BOOST_ALL_NO_LIB BOOST_FILESYSTEM_NO_DEPRECATED
    PRIVATE BOOST_FILESYSTEM_SOURCE)
target_compile_options(boost_filesystem PRIVATE -w)
target_link_libraries(boost_filesystem PUBLIC advapi32)
