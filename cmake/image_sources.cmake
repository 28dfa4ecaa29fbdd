# Source lists of the images, shared by the host build and the firmware build.
# Paths are relative to the repository root.
include(${CMAKE_CURRENT_LIST_DIR}/../runtime/print/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/image_registry.cmake)

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
  runtime/base/image_kind.cpp
  runtime/entry/image_entry.cpp
  runtime/entry/exit_context.cpp
  runtime/entry/context_switch_x64.cpp
  runtime/entry/service_tables.cpp
  runtime/entry/tsc_frequency.cpp
  runtime/trace/post_code.cpp
  runtime/trace/trace_hub_channel.cpp
  runtime/trace/trace_hub_setup.cpp
  runtime/trace/trace_hub_message.cpp
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
  tagstore/tag_store_template.cpp
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
  tagstore/tag_store_smram.cpp
  tagstore/tag_store_write.cpp
  tagstore/tag_store_flush.cpp
  tagstore/flash/flash_access.cpp
  tagstore/flash/flash_parallel_jedec.cpp
  tagstore/flash/flash_firmware_hub.cpp
  tagstore/flash/flash_spi_access.cpp
)

# State a DXE image shares with the firmware: address fix-up registration, the S3
# boot-script record and its lock boxes, SMM variable access, the shared list head.
set(RUNTIME_DXE_SHARED_STATE_SOURCES
  runtime/shared_state/address_fixup.cpp
  runtime/shared_state/lock_box.cpp
  runtime/shared_state/s3_boot_script.cpp
  runtime/shared_state/s3_ready_to_lock.cpp
  runtime/shared_state/smm_variable_access.cpp
  runtime/shared_state/list_head.cpp
)
# The same for an SMM image: PCD protocol pointers, SMRAM ranges, and the address
# fix-up variant that has nothing to register with.
set(RUNTIME_SMM_SHARED_STATE_SOURCES
  runtime/shared_state/address_fixup_smm.cpp
  runtime/shared_state/pcd_init.cpp
  runtime/shared_state/smram_ranges.cpp
)

# What each deliverable's initialiser list needs, and the deliverable's own sources.
set(PLATFORM_CONFIG_LIST_SOURCES
  platform_config/library_steps.cpp
  ${RUNTIME_DXE_SHARED_STATE_SOURCES}
  ${TAG_STORE_SOURCES}
)
set(PLATFORM_CONFIG_SOURCES
  platform_config/image.cpp
  platform_config/driver_entry.cpp
  platform_config/setup_policy.cpp
  platform_config/config_load.cpp
  platform_config/reserved_operation.cpp
  platform_config/cmos_access.cpp
  platform_config/ec_access.cpp
  platform_config/manufacturing_records.cpp
  platform_config/password_provisioning.cpp
  platform_config/secret_wipe.cpp
  ${PLATFORM_CONFIG_LIST_SOURCES}
)

# Library steps of the other deliverables; their driver entries join with their images.
set(POWER_EVENT_LOG_LIST_SOURCES
  power_event_log/library_steps.cpp
  ${RUNTIME_SMM_SHARED_STATE_SOURCES}
  ${TAG_STORE_SOURCES}
)
set(POWER_EVENT_LOG_SOURCES
  power_event_log/image.cpp
  power_event_log/driver_entry.cpp
  power_event_log/append_event.cpp
  power_event_log/rtc_time.cpp
  power_event_log/boot_time_pointers.cpp
  ${POWER_EVENT_LOG_LIST_SOURCES}
  ${TAG_STORE_WRITE_SOURCES}
)
set(DISK_INFO_LIST_SOURCES disk_info/library_steps.cpp)
# The identity text rules and the slot lookup are pure code, linked straight into tests.
set(DISK_INFO_TEXT_SOURCES
  disk_info/identify_text.cpp
  disk_info/drive_strings.cpp
)
set(DISK_INFO_SOURCES
  disk_info/image.cpp
  disk_info/driver_entry.cpp
  disk_info/device_path_walk.cpp
  disk_info/controller_scan.cpp
  disk_info/ata_scan.cpp
  disk_info/nvme_scan.cpp
  disk_info/disk_info_scan.cpp
  disk_info/opcode_builder.cpp
  disk_info/hii_strings.cpp
  disk_info/form_update.cpp
  disk_info/form_fill.cpp
  ${DISK_INFO_TEXT_SOURCES}
  ${DISK_INFO_LIST_SOURCES}
)

function(prefix_sources OUT ROOT)
  set(result)
  foreach(source ${ARGN})
    list(APPEND result ${ROOT}/${source})
  endforeach()
  set(${OUT} ${result} PARENT_SCOPE)
endfunction()

# The image registry: each image is declared once and gets its host image, its firmware
# image with the post-link check, and its place in the tests from this entry.
sim_image(PlatformConfigDxe KIND dxe SOURCES ${PLATFORM_CONFIG_SOURCES})
sim_image(PowerEventLogSmm KIND smm SOURCES ${POWER_EVENT_LOG_SOURCES})
sim_image(DiskInfoSetupDxe KIND dxe SOURCES ${DISK_INFO_SOURCES})

# Test images, built for both engines like the shipped ones but never shipped.
sim_image(EngineProbeDxe KIND dxe TEST SOURCES tests/images/engine_probe.cpp)
# PlatformConfigDxe's own sources with an entry that publishes its internal routines.
set(PLATFORM_CONFIG_PROBE_SOURCES tests/images/platform_config_probe.cpp ${PLATFORM_CONFIG_SOURCES})
list(REMOVE_ITEM PLATFORM_CONFIG_PROBE_SOURCES platform_config/image.cpp)
sim_image(PlatformConfigProbe KIND dxe TEST SOURCES ${PLATFORM_CONFIG_PROBE_SOURCES})
# The entry framework's probes: one deliverable's lists, the module values they leave.
sim_image(RuntimeProbeSmm KIND smm TEST SOURCES tests/images/runtime_probe.cpp ${POWER_EVENT_LOG_LIST_SOURCES}
          DEFINES PROBE_SMM_LISTS=1)
sim_image(RuntimeProbeDxe KIND dxe TEST SOURCES tests/images/runtime_probe.cpp ${DISK_INFO_LIST_SOURCES})
# The post-code and trace-hub routines under each deliverable's lists.
sim_image(TraceProbeDxe KIND dxe TEST SOURCES tests/images/trace_probe.cpp ${PLATFORM_CONFIG_LIST_SOURCES})
sim_image(TraceProbeSmm KIND smm TEST SOURCES tests/images/trace_probe.cpp ${POWER_EVENT_LOG_LIST_SOURCES}
          DEFINES PROBE_SMM_LISTS=1)
# The tag store with its writes and flushes, and the flash layer, one routine at a time.
sim_image(TagStoreProbe KIND smm TEST SOURCES tests/images/tag_store_probe.cpp ${POWER_EVENT_LOG_LIST_SOURCES}
          ${TAG_STORE_WRITE_SOURCES})
# PowerEventLogSmm's own sources with an entry that publishes its internal routines.
set(POWER_EVENT_LOG_PROBE_SOURCES tests/images/power_event_log_probe.cpp ${POWER_EVENT_LOG_SOURCES})
list(REMOVE_ITEM POWER_EVENT_LOG_PROBE_SOURCES power_event_log/image.cpp)
sim_image(PowerEventLogProbe KIND smm TEST SOURCES ${POWER_EVENT_LOG_PROBE_SOURCES})
