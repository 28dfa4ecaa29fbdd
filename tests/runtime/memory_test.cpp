// Memory, string and arithmetic routines of the driver runtime.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/base/device_path.h"
#include "runtime/base/math64.h"
#include "runtime/base/memory.h"
#include "runtime/base/pci_express.h"

namespace {

TEST(CopyMem, OverlappingMovesUpAndDownWithoutSmearing) {
  for (size_t length : {10u, 37u}) {  // 37 takes the 8-byte word path as well
    for (int shift : {1, -1, 9, -9}) {
      unsigned char buffer[64];
      for (size_t i = 0; i < sizeof(buffer); ++i) buffer[i] = static_cast<unsigned char>(i);
      unsigned char expected[64];
      std::memcpy(expected, buffer, sizeof(buffer));
      std::memmove(expected + 16 + shift, expected + 16, length);
      CopyMem(buffer + 16 + shift, buffer + 16, length);
      EXPECT_EQ(0, std::memcmp(buffer, expected, sizeof(buffer))) << "length " << length << " shift " << shift;
    }
  }
}

TEST(CopyMem, ZeroLengthAndSamePointerTouchNothing) {
  unsigned char buffer[4] = {1, 2, 3, 4};
  EXPECT_EQ(buffer, CopyMem(buffer, buffer, 4));
  EXPECT_EQ(buffer + 1, CopyMem(buffer + 1, buffer, 0));
  EXPECT_EQ(0, std::memcmp(buffer, "\x01\x02\x03\x04", 4));
}

TEST(CompareMem, SignOfFirstDifferenceOverTheGivenLength) {
  const unsigned char a[] = {0x61, 0x62, 0x63};
  const unsigned char b[] = {0x61, 0x62, 0x64};
  const unsigned char high[] = {0xFF};
  const unsigned char low[] = {0x01};
  EXPECT_LT(CompareMem(a, b, 3), 0);
  EXPECT_EQ(CompareMem(a, b, 2), 0);
  EXPECT_EQ(CompareMem(a, b, 0), 0);
  EXPECT_EQ(CompareMem(a, a, 3), 0);
  EXPECT_GT(CompareMem(high, low, 1), 0) << "bytes compare as unsigned values";
}

TEST(ZeroAndSetMem, CoverExactlyTheLength) {
  unsigned char buffer[19];
  std::memset(buffer, 0x5A, sizeof(buffer));
  ZeroMem(buffer, 17);
  SetMem(buffer, 0, 0x11);
  for (size_t i = 0; i < 17; ++i) EXPECT_EQ(buffer[i], 0) << i;
  EXPECT_EQ(buffer[17], 0x5A);
  SetMem(buffer + 17, 2, 0xC3);
  EXPECT_EQ(buffer[18], 0xC3);
}

TEST(Guids, CompareAndCopyBothHalves) {
  EFI_GUID a = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  EFI_GUID b{};
  CopyGuid(&b, &a);
  EXPECT_TRUE(CompareGuid(&a, &b));
  b.Data4[7] ^= 1;
  EXPECT_FALSE(CompareGuid(&a, &b));
}

TEST(Strings, AsciiToUcs2SignExtendsHighBytes) {
  const char source[] = {'A', 'z', 0x7F, static_cast<char>(0x80), static_cast<char>(0xFF), 0};
  CHAR16 destination[8];
  std::memset(destination, 0xEE, sizeof(destination));
  AsciiToUcs2(source, destination);
  const CHAR16 expected[] = {0x0041, 0x007A, 0x007F, 0xFF80, 0xFFFF, 0x0000};
  EXPECT_EQ(0, std::memcmp(destination, expected, sizeof(expected)));
  EXPECT_EQ(destination[6], 0xEEEE) << "nothing written past the terminator";
  EXPECT_EQ(AsciiStrSize("abc"), 4u);
  EXPECT_EQ(StrLen(u"abcd"), 4u);
}

TEST(Arithmetic, MultiplyAndDivideWithRemainder) {
  EXPECT_EQ(MultU64x32(0x100000000ull, 3), 0x300000000ull);
  EXPECT_EQ(MultU64x64(0xFFFFFFFFFFFFFFFFull, 2), 0xFFFFFFFFFFFFFFFEull);
  UINT32 remainder = 0;
  EXPECT_EQ(DivU64x32Remainder(1000000007ull, 1000, &remainder), 1000000u);
  EXPECT_EQ(remainder, 7u);
  EXPECT_EQ(DivU64x32Remainder(10, 3, nullptr), 3u);
}

TEST(Hardware, PciExpressAddressOfBusDeviceFunction) {
  EXPECT_EQ(PciExpressAddress(0, 31, 5), 0xE00FD000ull);
  EXPECT_EQ(PciExpressAddress(0, 31, 2), 0xE00FA000ull);
  EXPECT_EQ(PciExpressAddress(1, 0, 0), 0xE0100000ull);
}

TEST(DevicePath, NodesWalkToTheEnd) {
  const unsigned char path[] = {0x02, 0x01, 0x0C, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0x04, 0x00};
  EXPECT_EQ(DevicePathType(path), 0x02);
  EXPECT_EQ(DevicePathSubType(path), 0x01);
  EXPECT_FALSE(IsDevicePathEnd(path));
  const void *end = NextDevicePathNode(path);
  EXPECT_EQ(end, path + 12);
  EXPECT_TRUE(IsDevicePathEnd(end));
}

}  // namespace
