// SetupConfig: the 1800-byte "Setup" record, always the caller's. Its size and every byte
// of it this driver reads or writes.
#pragma once

#define SETUP_CONFIG_SIZE 1800

#define SETUP_BYTE_CONFIG_MODE 100
#define SETUP_BYTE_MANUFACTURING 111
#define SETUP_BYTE_FLASH_OPTION 121
// CMOS register 0x47 bit 0 follows this byte, bit 1 the second (1 clears, else set).
#define SETUP_BYTE_CMOS_OPTION0 230
#define SETUP_BYTE_CMOS_OPTION1 235
#define SETUP_BYTE_POLICY 233
#define SETUP_BYTE_POLICY_CONDITION_FIRST 234
#define SETUP_BYTE_POLICY_CONDITION_LAST 237
