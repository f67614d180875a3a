# hidapi: the distribution's shared library through pkg-config on Linux; on Windows its
# source given as VEXO_HIDAPI_SOURCE_DIR (the cross build), else hidapi's own CMake package.
#   vexo_hidapi_headers  - include path only (the program code and the virtual pedal set)
#   vexo_hidapi          - the real library, linked only by the real program
add_library(vexo_hidapi_headers INTERFACE)
add_library(vexo_hidapi INTERFACE)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
  target_include_directories(vexo_hidapi_headers INTERFACE ${HIDAPI_INCLUDE_DIRS})
  # Always the shared object: the distribution keeps it patched.
  find_library(VEXO_HIDAPI_SHARED
    NAMES ${CMAKE_SHARED_LIBRARY_PREFIX}hidapi-hidraw${CMAKE_SHARED_LIBRARY_SUFFIX}
    HINTS ${HIDAPI_LIBRARY_DIRS} REQUIRED)
  target_link_libraries(vexo_hidapi INTERFACE ${VEXO_HIDAPI_SHARED})
elseif(WIN32 AND VEXO_HIDAPI_SOURCE_DIR)
  # hidapi's Windows backend from its source (scripts/build-windows.sh fetches and patches
  # it), built into the program: one C file that loads hid.dll and cfgmgr32.dll itself.
  enable_language(C)
  add_library(vexo_hidapi_windows STATIC ${VEXO_HIDAPI_SOURCE_DIR}/windows/hid.c)
  target_include_directories(vexo_hidapi_windows PUBLIC ${VEXO_HIDAPI_SOURCE_DIR}/hidapi)
  # Not our code: its warnings are upstream's.
  target_compile_options(vexo_hidapi_windows PRIVATE -w)
  target_include_directories(vexo_hidapi_headers INTERFACE ${VEXO_HIDAPI_SOURCE_DIR}/hidapi)
  target_link_libraries(vexo_hidapi INTERFACE vexo_hidapi_windows)
else()
  find_package(hidapi 0.13 REQUIRED)
  # hidapi 0.13's exported target carries no include directory.
  find_path(VEXO_HIDAPI_INCLUDE_DIR hidapi.h PATH_SUFFIXES hidapi REQUIRED)
  target_include_directories(vexo_hidapi_headers INTERFACE ${VEXO_HIDAPI_INCLUDE_DIR})
  target_link_libraries(vexo_hidapi INTERFACE hidapi::hidapi)
endif()
