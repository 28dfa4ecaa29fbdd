// The configuration records this driver works on: the caller's "Setup" record
// (setup_config.h), the "PchSetup" variable, the manufacturing records of the tag store,
// "LDFG" and the password block in flash. Only the bytes named here are ours to read or
// write.
#pragma once

#include "platform_config/setup_config.h"
#include "runtime/uefi/types.h"
#include "tagstore/tag_store.h"

// "PchSetup": read into a buffer of our own; byte 23 is kept at 0 or 1.
#define PCH_SETUP_BUFFER_SIZE 1632
#define PCH_SETUP_BYTE_OVERRIDE 23

// Tag store records, read into 256-byte buffers.
#define TAG_MFG0 TAG_STORE_TAG('M', 'F', 'G', '0')
#define TAG_CNF1 TAG_STORE_TAG('C', 'N', 'F', '1')
#define MANUFACTURING_RECORD_SIZE 256
#define MFG0_BYTE_MANUFACTURING_FLAG 143
#define CNF1_BYTE_CONFIGURED 0

// Byte 70 of "CNF1" as last flushed: tag store block base + 0x1246.
#define CNF1_FLASH_OPTION_OFFSET 0x1246u

// "LDFG": one byte, created with 0x99; 0x7A lets the flash byte above decide.
#define LOAD_FLAG_DEFAULT 0x99
#define LOAD_FLAG_USE_FLASH 0x7A

// Every variable this driver writes: "PchSetup", "LDFG", the passwords and
// "AdministerSecureBoot".
#define CONFIG_VARIABLE_ATTRIBUTES                                                                                     \
  (EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS)

// The password block in memory-mapped flash.
#define PASSWORD_BLOCK_ADDRESS 0xFFD61000ull
#define PASSWORD_BLOCK_SIZE 64
#define PASSWORD_SIGNATURE_SIZE 6
#define PASSWORD_PROVISION_FLAG_OFFSET 32
#define PASSWORD_MASTER_OFFSET 33
#define PASSWORD_USER_OFFSET 49
#define PASSWORD_VARIABLE_SIZE 16
