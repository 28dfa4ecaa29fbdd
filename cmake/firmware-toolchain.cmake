# Firmware images: PE32+ for x86-64, built by the machine's clang and lld-link.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_LINKER lld-link)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_EXECUTABLE_SUFFIX .efi)

include(${CMAKE_CURRENT_LIST_DIR}/firmware_flags.cmake)
set(CMAKE_CXX_FLAGS_INIT "${FIRMWARE_CXX_FLAGS}")
set(CMAKE_CXX_LINK_EXECUTABLE
  "<CMAKE_LINKER> ${FIRMWARE_LINK_FLAGS} <LINK_FLAGS> <OBJECTS> /out:<TARGET>")
# The optimisation is part of the image's flags above; no build type adds its own.
set(CMAKE_CXX_FLAGS_RELEASE_INIT "")
set(CMAKE_CXX_FLAGS_DEBUG_INIT "")
