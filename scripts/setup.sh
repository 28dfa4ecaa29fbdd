#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks (when run as root) and configures the build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

need=()
command -v clang++ >/dev/null || need+=(clang)
command -v lld-link >/dev/null || need+=(lld)
command -v llvm-readobj >/dev/null || need+=(llvm)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v git >/dev/null || need+=(git)
# The code-style check of the test command.
command -v clang-format >/dev/null || need+=(clang-format)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The simulator's command line and its JSON profiles and reports.
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
# The emulated engine runs the shipped images on Unicorn.
[ -f /usr/include/unicorn/unicorn.h ] || need+=(libunicorn-dev)
# The sanitizer runtimes are a separate package from the compiler.
if ! command -v clang >/dev/null || [ ! -f "$(clang -print-file-name=libclang_rt.asan-x86_64.a)" ]; then
  need+=(libclang-rt-dev)
fi
# The image tests: U-Boot under qemu as a second UEFI host, FAT disks for it, and
# Secure Boot signing and verification.
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
[ -f /usr/lib/u-boot/qemu-x86_64/u-boot.rom ] || need+=(u-boot-qemu)
command -v mcopy >/dev/null || need+=(mtools)
[ -x /usr/sbin/mkfs.vfat ] || command -v mkfs.vfat >/dev/null || need+=(dosfstools)
command -v sbsign >/dev/null || need+=(sbsigntool)
command -v openssl >/dev/null || need+=(openssl)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${need[@]}"
  else
    echo "missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

if [ ! -f "$root/build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
