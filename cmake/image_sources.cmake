# Source lists of the images, shared by the host build and the firmware build.
# Paths are relative to the repository root.
include(${CMAKE_CURRENT_LIST_DIR}/../runtime/print/sources.cmake)

set(RUNTIME_SOURCES
  runtime/base/cpu_common.cpp
  runtime/base/memory.cpp
  runtime/base/services.cpp
  runtime/base/pool.cpp
  runtime/base/events.cpp
  runtime/base/config_tables.cpp
  runtime/base/math64.cpp
  runtime/base/delay.cpp
  runtime/base/pcd_access.cpp
  runtime/entry/image_entry.cpp
  runtime/entry/exit_context.cpp
  runtime/entry/context_switch_x64.cpp
  runtime/entry/service_tables.cpp
  runtime/entry/tsc_frequency.cpp
  ${RUNTIME_PRINT_SOURCES}
)

# The hardware facade: instructions in firmware images, the platform model in host images.
set(FIRMWARE_BACKEND_SOURCES
  runtime/base/x64/cpu_x64.cpp
  runtime/base/x64/compiler_support.cpp
)
set(HOST_BACKEND_SOURCES
  platform_sim/guest/cpu_backend.cpp
)

# The flash tag store. Every image that carries it has the table, reads and device
# selection; images that write records add the write and flush with block access.
set(TAG_STORE_SOURCES
  tagstore/tag_store_table.cpp
  tagstore/tag_store_read.cpp
  tagstore/flash/flash_layer_state.cpp
  tagstore/flash/flash_layer_init.cpp
  tagstore/flash/flash_library_steps.cpp
  tagstore/flash/flash_device_detect.cpp
  tagstore/flash/flash_candidate.cpp
  tagstore/flash/flash_context_fill.cpp
  tagstore/flash/flash_identify.cpp
  tagstore/flash/flash_sfdp.cpp
)
set(TAG_STORE_WRITE_SOURCES
  tagstore/tag_store_write.cpp
  tagstore/tag_store_flush.cpp
  tagstore/flash/flash_access.cpp
  tagstore/flash/flash_parallel_jedec.cpp
  tagstore/flash/flash_firmware_hub.cpp
  tagstore/flash/flash_spi_access.cpp
)

set(PLATFORM_CONFIG_SOURCES
  platform_config/image.cpp
  platform_config/library_steps.cpp
  platform_config/driver_entry.cpp
  platform_config/setup_policy.cpp
  platform_config/config_load.cpp
  platform_config/reserved_operation.cpp
  platform_config/cmos_access.cpp
  platform_config/ec_access.cpp
  ${TAG_STORE_SOURCES}
)

# Library steps of the other deliverables; their driver entries join with their images.
set(POWER_EVENT_LOG_LIST_SOURCES power_event_log/library_steps.cpp)
list(APPEND POWER_EVENT_LOG_LIST_SOURCES ${TAG_STORE_SOURCES})
set(DISK_INFO_LIST_SOURCES disk_info/library_steps.cpp)

# Images shipped as firmware, by name.
set(FIRMWARE_IMAGES PlatformConfigDxe)
set(PlatformConfigDxe_SOURCES ${PLATFORM_CONFIG_SOURCES})

function(prefix_sources OUT ROOT)
  set(result)
  foreach(source ${ARGN})
    list(APPEND result ${ROOT}/${source})
  endforeach()
  set(${OUT} ${result} PARENT_SCOPE)
endfunction()
