// Basic UEFI data types, written from the UEFI specification's data type table.
// Driver code includes only the compiler's freestanding headers and our own.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UINT8;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef uint64_t UINT64;
typedef int8_t INT8;
typedef int16_t INT16;
typedef int32_t INT32;
typedef int64_t INT64;
typedef uint64_t UINTN;
typedef int64_t INTN;
typedef char CHAR8;
typedef char16_t CHAR16;
typedef UINT8 BOOLEAN;
typedef void VOID;

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;
typedef UINTN EFI_TPL;
typedef UINT64 EFI_PHYSICAL_ADDRESS;
typedef UINT64 EFI_VIRTUAL_ADDRESS;

#define TRUE ((BOOLEAN)1)
#define FALSE ((BOOLEAN)0)

// Every function that firmware or another image calls uses the Microsoft x64
// convention, in the firmware build and in the host build alike.
#define EFIAPI __attribute__((ms_abi))

#define IN
#define OUT
#define OPTIONAL
#define CONST const

#define EFI_LAYOUT_OFFSET(type, member, offset)                                                                        \
  static_assert(offsetof(type, member) == (offset), #type "." #member " offset")
#define EFI_LAYOUT_SIZE(type, size) static_assert(sizeof(type) == (size), #type " size")

#pragma pack(push, 1)
typedef struct {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
} EFI_GUID;
#pragma pack(pop)
EFI_LAYOUT_SIZE(EFI_GUID, 16);

// EFI_TIME as returned by GetTime and printed by the time directive.
typedef struct {
  UINT16 Year;
  UINT8 Month;
  UINT8 Day;
  UINT8 Hour;
  UINT8 Minute;
  UINT8 Second;
  UINT8 Pad1;
  UINT32 Nanosecond;
  INT16 TimeZone;
  UINT8 Daylight;
  UINT8 Pad2;
} EFI_TIME;
EFI_LAYOUT_SIZE(EFI_TIME, 16);
EFI_LAYOUT_OFFSET(EFI_TIME, Nanosecond, 8);

// A fixed 32-bit underlying type: OEM (0x70000000..0x7FFFFFFF) and OS
// (0x80000000..0xFFFFFFFF) memory types are valid values of this enum too.
typedef enum : UINT32 {
  EfiReservedMemoryType = 0,
  EfiLoaderCode = 1,
  EfiLoaderData = 2,
  EfiBootServicesCode = 3,
  EfiBootServicesData = 4,
  EfiRuntimeServicesCode = 5,
  EfiRuntimeServicesData = 6,
  EfiConventionalMemory = 7,
  EfiUnusableMemory = 8,
  EfiACPIReclaimMemory = 9,
  EfiACPIMemoryNVS = 10,
  EfiMemoryMappedIO = 11,
  EfiMemoryMappedIOPortSpace = 12,
  EfiPalCode = 13,
  EfiPersistentMemory = 14,
  EfiMaxMemoryType = 15
} EFI_MEMORY_TYPE;
static_assert(sizeof(EFI_MEMORY_TYPE) == 4, "EFI_MEMORY_TYPE is a 32-bit enum");

typedef enum {
  AllocateAnyPages = 0,
  AllocateMaxAddress = 1,
  AllocateAddress = 2,
  MaxAllocateType = 3
} EFI_ALLOCATE_TYPE;

typedef enum { EFI_NATIVE_INTERFACE = 0 } EFI_INTERFACE_TYPE;

typedef enum { AllHandles = 0, ByRegisterNotify = 1, ByProtocol = 2 } EFI_LOCATE_SEARCH_TYPE;

typedef enum { EfiResetCold = 0, EfiResetWarm = 1, EfiResetShutdown = 2, EfiResetPlatformSpecific = 3 } EFI_RESET_TYPE;

// Task priority levels.
#define TPL_APPLICATION ((EFI_TPL)4)
#define TPL_CALLBACK ((EFI_TPL)8)
#define TPL_NOTIFY ((EFI_TPL)16)
#define TPL_HIGH_LEVEL ((EFI_TPL)31)

// Event types.
#define EVT_TIMER 0x80000000u
#define EVT_RUNTIME 0x40000000u
#define EVT_NOTIFY_WAIT 0x00000100u
#define EVT_NOTIFY_SIGNAL 0x00000200u
#define EVT_SIGNAL_EXIT_BOOT_SERVICES 0x00000201u
#define EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE 0x60000202u

// Variable attributes.
#define EFI_VARIABLE_NON_VOLATILE 0x00000001u
#define EFI_VARIABLE_BOOTSERVICE_ACCESS 0x00000002u
#define EFI_VARIABLE_RUNTIME_ACCESS 0x00000004u
#define EFI_VARIABLE_APPEND_WRITE 0x00000040u

typedef VOID(EFIAPI *EFI_EVENT_NOTIFY)(EFI_EVENT Event, VOID *Context);
