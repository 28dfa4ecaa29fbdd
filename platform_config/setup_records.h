// The configuration records this driver works on: the caller's "Setup" record, the
// "PchSetup" variable, the manufacturing records of the tag store, "LDFG" and the
// password block in flash. Only the bytes named here are ours to read or write.
#pragma once

#include "runtime/uefi/types.h"

// SetupConfig: the 1800-byte "Setup" record (SETUP_CONFIG_SIZE), always the caller's.
#define SETUP_BYTE_CONFIG_MODE 100
#define SETUP_BYTE_MANUFACTURING 111
#define SETUP_BYTE_FLASH_OPTION 121
#define SETUP_BYTE_POLICY 233
#define SETUP_BYTE_POLICY_CONDITION_FIRST 234
#define SETUP_BYTE_POLICY_CONDITION_LAST 237

// "PchSetup": read into a buffer of our own; byte 23 is kept at 0 or 1.
#define PCH_SETUP_BUFFER_SIZE 1632
#define PCH_SETUP_BYTE_OVERRIDE 23

// Tag store records, read into 256-byte buffers.
#define TAG_MFG0 0x4D464730u
#define TAG_CNF1 0x434E4631u
#define MANUFACTURING_RECORD_SIZE 256
#define MFG0_BYTE_MANUFACTURING_FLAG 143
#define CNF1_BYTE_CONFIGURED 0

// Byte 70 of "CNF1" as last flushed: tag store block base + 0x1246.
#define CNF1_FLASH_OPTION_OFFSET 0x1246u

// "LDFG": one byte, created with 0x99; 0x7A lets the flash byte above decide.
#define LOAD_FLAG_DEFAULT 0x99
#define LOAD_FLAG_USE_FLASH 0x7A

#define CONFIG_VARIABLE_ATTRIBUTES 0x00000007u

// The password block in memory-mapped flash.
#define PASSWORD_BLOCK_ADDRESS 0xFFD61000ull
#define PASSWORD_BLOCK_SIZE 64
#define PASSWORD_SIGNATURE_SIZE 6
#define PASSWORD_PROVISION_FLAG_OFFSET 32
#define PASSWORD_MASTER_OFFSET 33
#define PASSWORD_USER_OFFSET 49
#define PASSWORD_VARIABLE_SIZE 16
