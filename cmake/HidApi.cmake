# hidapi: the distribution's shared library through pkg-config on Linux,
# hidapi's own CMake package elsewhere (Windows, macOS).
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
else()
  find_package(hidapi 0.13 REQUIRED)
  get_target_property(_hid_inc hidapi::hidapi INTERFACE_INCLUDE_DIRECTORIES)
  target_include_directories(vexo_hidapi_headers INTERFACE ${_hid_inc})
  target_link_libraries(vexo_hidapi INTERFACE hidapi::hidapi)
endif()
