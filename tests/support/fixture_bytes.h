#pragma once
// Fields of the byte fixtures the tests write as files (std::string, as
// writeFile takes them), made with the writer of core/bytes.h: le32(7) +
// f64(0.5) + ..., patchLe32(&image, at, v) over a fixture already made, and
// getLe32(image, at) to look at one. Fixtures held as byte vectors use
// bwLe / bwPatchLe of core/bytes.h directly.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "core/bytes.h"

namespace fixture_bytes {

template <class T>
std::string le(std::type_identity_t<T> v) {
  std::vector<uint8_t> b;
  bwLe<T>(&b, v);
  return std::string(b.begin(), b.end());
}

template <class T>
std::string be(std::type_identity_t<T> v) {
  std::vector<uint8_t> b;
  bwBe<T>(&b, v);
  return std::string(b.begin(), b.end());
}

}  // namespace fixture_bytes

inline std::string le16(uint16_t v) { return fixture_bytes::le<uint16_t>(v); }
inline std::string le32(uint32_t v) { return fixture_bytes::le<uint32_t>(v); }
inline std::string le64(uint64_t v) { return fixture_bytes::le<uint64_t>(v); }
inline std::string be16(uint16_t v) { return fixture_bytes::be<uint16_t>(v); }
inline std::string be32(uint32_t v) { return fixture_bytes::be<uint32_t>(v); }

inline std::string f64(double v) {
  std::vector<uint8_t> b;
  bwF64le(&b, v);
  return std::string(b.begin(), b.end());
}

// Several 32-bit values one after the other.
inline std::string le32s(std::initializer_list<uint32_t> values) {
  std::string s;
  for (uint32_t v : values) s += le32(v);
  return s;
}

// Overwrites the field at byte `at` of a fixture.
inline void patchLe16(std::string* s, size_t at, uint16_t v) { s->replace(at, 2, le16(v)); }
inline void patchLe32(std::string* s, size_t at, uint32_t v) { s->replace(at, 4, le32(v)); }
inline void patchF64(std::string* s, size_t at, double v) { s->replace(at, 8, f64(v)); }

namespace fixture_bytes {

template <class T>
T getLe(std::span<const uint8_t> bytes, size_t at) {
  ByteReader r = brOpen(bytes);
  brSeek(&r, at);
  return brLe<T>(&r);
}

inline std::span<const uint8_t> span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace fixture_bytes

// The field at byte `at`, or 0 when it does not lie inside the fixture.
inline uint16_t getLe16(const std::string& s, size_t at) {
  return fixture_bytes::getLe<uint16_t>(fixture_bytes::span(s), at);
}
inline uint32_t getLe32(const std::string& s, size_t at) {
  return fixture_bytes::getLe<uint32_t>(fixture_bytes::span(s), at);
}
inline uint32_t getLe32(const std::vector<uint8_t>& b, size_t at) { return fixture_bytes::getLe<uint32_t>(b, at); }
