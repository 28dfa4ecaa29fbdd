# How every firmware image is compiled and linked: by the firmware build, and by the test
# that builds an unfit image on purpose to show the post-link check refuses it.
set(FIRMWARE_CXX_FLAGS
  "--target=x86_64-unknown-windows -Oz -Werror -mgeneral-regs-only -ffunction-sections -fdata-sections -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -mno-red-zone -mno-stack-arg-probe -nostdlibinc -fno-asynchronous-unwind-tables -Wall -Wextra -DFIRMWARE_IMAGE=1")
set(FIRMWARE_LINK_FLAGS
  "/nologo /nodefaultlib /subsystem:efi_boot_service_driver /entry:ImageEntryPoint /opt:ref /opt:icf")
