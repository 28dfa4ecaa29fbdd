# Host images: the driver code as shared objects that platform_sim loads. Driver code
# keeps the firmware rules here too: freestanding, no exceptions, no RTTI, no C++
# library. Unwind tables stay so that a platform reset can unwind through its frames.
set(DRIVER_HOST_FLAGS
  -ffreestanding -fno-exceptions -fno-rtti -nostdinc++ -fasynchronous-unwind-tables
  -fvisibility=hidden -Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND DRIVER_HOST_FLAGS -fno-gnu-unique)
endif()

# add_host_image(NAME sources...): NAME.so in the host image directory, built from the
# given sources, the driver runtime and the host facade backend.
function(add_host_image NAME)
  prefix_sources(runtime ${CMAKE_SOURCE_DIR} ${RUNTIME_SOURCES} ${HOST_BACKEND_SOURCES})
  add_library(${NAME} SHARED ${ARGN} ${runtime})
  target_include_directories(${NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${NAME} PRIVATE ${DRIVER_HOST_FLAGS})
  set_target_properties(${NAME} PROPERTIES PREFIX "" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/host_images)
  set_property(GLOBAL APPEND PROPERTY SIM_HOST_IMAGES ${NAME})
endfunction()
