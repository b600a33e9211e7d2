// SPDX-License-Identifier: MIT
// Little-endian fixed-width encoding of integers and IEEE 754 doubles, byte by byte, so that
// the data file reads the same whatever the machine's own byte order and alignment.
#pragma once

#include <bit>
#include <cstdint>

namespace hmr {

inline void encodeFixed32(char* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void encodeFixed64(char* out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void encodeInt32(char* out, std::int32_t value) {
  encodeFixed32(out, static_cast<std::uint32_t>(value));
}

inline void encodeInt64(char* out, std::int64_t value) {
  encodeFixed64(out, static_cast<std::uint64_t>(value));
}

inline void encodeDouble(char* out, double value) {
  encodeFixed64(out, std::bit_cast<std::uint64_t>(value));
}

inline std::uint32_t decodeFixed32(const char* in) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << (8 * i);
  return value;
}

inline std::uint64_t decodeFixed64(const char* in) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i)
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
  return value;
}

inline std::int32_t decodeInt32(const char* in) {
  return static_cast<std::int32_t>(decodeFixed32(in));
}

inline std::int64_t decodeInt64(const char* in) {
  return static_cast<std::int64_t>(decodeFixed64(in));
}

inline double decodeDouble(const char* in) { return std::bit_cast<double>(decodeFixed64(in)); }

}  // namespace hmr
