# sim_image(NAME KIND dxe|smm [TEST] SOURCES files... [DEFINES definitions...]):
# declares an image. Both builds read the registry: SIM_IMAGES lists the names,
# NAME_KIND, NAME_SOURCES (relative to the repository root), NAME_DEFINES and NAME_TEST
# describe each.
macro(sim_image NAME)
  cmake_parse_arguments(SIM_IMAGE_ARG "TEST" "KIND" "SOURCES;DEFINES" ${ARGN})
  if(NOT SIM_IMAGE_ARG_KIND MATCHES "^(dxe|smm)$")
    message(FATAL_ERROR "image ${NAME}: KIND must be dxe or smm")
  endif()
  list(APPEND SIM_IMAGES ${NAME})
  set(${NAME}_KIND ${SIM_IMAGE_ARG_KIND})
  set(${NAME}_SOURCES ${SIM_IMAGE_ARG_SOURCES})
  set(${NAME}_DEFINES ${SIM_IMAGE_ARG_DEFINES})
  set(${NAME}_TEST ${SIM_IMAGE_ARG_TEST})
endmacro()

# Writes the registry as a header for the tests and tools: one row per image.
function(sim_write_image_registry PATH)
  set(rows "")
  foreach(image ${SIM_IMAGES})
    if(${image}_TEST)
      set(shipped false)
    else()
      set(shipped true)
    endif()
    string(APPEND rows "    {\"${image}\", \"${${image}_KIND}\", ${shipped}},\n")
  endforeach()
  file(CONFIGURE OUTPUT ${PATH} CONTENT "// Generated from cmake/image_sources.cmake: every registered image.
#pragma once

namespace sim {

struct RegisteredImage {
  const char *name;
  const char *kind;  // \"dxe\" or \"smm\"
  bool shipped;      // false for test images
};

inline constexpr RegisteredImage kRegisteredImages[] = {
${rows}};

}  // namespace sim
" @ONLY)
endfunction()
