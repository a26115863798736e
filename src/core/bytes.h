#pragma once
// Integer and floating-point fields of file images: a bounds-checked reader
// over a byte span and a writer that appends to a byte vector, both in little-
// and big-endian order. Floating-point values are IEEE 754 in little-endian
// byte order, as every file of the game stores them.
//
// The reader keeps a position and a failure flag. A read that would run past
// the end of the span fails: it returns 0 (an empty span, zeroed bytes),
// leaves the position where it was and marks the reader failed, and every
// later read, skip or seek fails as well. A parser can therefore read a whole
// header and test brOk once; nothing is ever read outside the span.
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

// ---- fields at a known place ----------------------------------------------
// The caller guarantees that sizeof(T) bytes are there.

template <std::integral T>
constexpr T bytesGetLe(const uint8_t* p) {
  using U = std::make_unsigned_t<T>;
  U v = 0;
  for (size_t i = sizeof(T); i-- > 0;) v = static_cast<U>(static_cast<U>(v << 8) | p[i]);
  return static_cast<T>(v);
}

template <std::integral T>
constexpr T bytesGetBe(const uint8_t* p) {
  using U = std::make_unsigned_t<T>;
  U v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<U>(static_cast<U>(v << 8) | p[i]);
  return static_cast<T>(v);
}

template <std::integral T>
constexpr void bytesPutLe(uint8_t* p, std::type_identity_t<T> v) {
  auto u = static_cast<std::make_unsigned_t<T>>(v);
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

template <std::integral T>
constexpr void bytesPutBe(uint8_t* p, std::type_identity_t<T> v) {
  auto u = static_cast<std::make_unsigned_t<T>>(v);
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(u >> (8 * (sizeof(T) - 1 - i)));
}

constexpr double bytesGetF64le(const uint8_t* p) { return std::bit_cast<double>(bytesGetLe<uint64_t>(p)); }
constexpr float bytesGetF32le(const uint8_t* p) { return std::bit_cast<float>(bytesGetLe<uint32_t>(p)); }
constexpr void bytesPutF64le(uint8_t* p, double v) { bytesPutLe<uint64_t>(p, std::bit_cast<uint64_t>(v)); }
constexpr void bytesPutF32le(uint8_t* p, float v) { bytesPutLe<uint32_t>(p, std::bit_cast<uint32_t>(v)); }

// ---- reader ---------------------------------------------------------------

struct ByteReader {
  std::span<const uint8_t> bytes;
  size_t pos;   // next byte to read, 0..bytes.size()
  bool failed;  // a read ran past the end; sticky
};

constexpr ByteReader brOpen(std::span<const uint8_t> bytes) { return ByteReader{bytes, 0, false}; }

// True while no read has failed.
constexpr bool brOk(const ByteReader* r) { return !r->failed; }

// Bytes after the position; 0 once failed.
constexpr size_t brRemaining(const ByteReader* r) { return r->failed ? 0 : r->bytes.size() - r->pos; }

// The next n bytes as a view into the span, or an empty span on failure.
constexpr std::span<const uint8_t> brSpan(ByteReader* r, size_t n) {
  if (r->failed || n > r->bytes.size() - r->pos) {
    r->failed = true;
    return {};
  }
  std::span<const uint8_t> s = r->bytes.subspan(r->pos, n);
  r->pos += n;
  return s;
}

// Moves on by n bytes; false (and failed) past the end.
constexpr bool brSkip(ByteReader* r, size_t n) {
  brSpan(r, n);
  return !r->failed;
}

// Moves to an absolute position, which may be the end; false (and failed)
// beyond it.
constexpr bool brSeek(ByteReader* r, size_t pos) {
  if (r->failed || pos > r->bytes.size()) {
    r->failed = true;
    return false;
  }
  r->pos = pos;
  return true;
}

template <std::integral T>
constexpr T brLe(ByteReader* r) {
  std::span<const uint8_t> s = brSpan(r, sizeof(T));
  return r->failed ? T{0} : bytesGetLe<T>(s.data());
}

template <std::integral T>
constexpr T brBe(ByteReader* r) {
  std::span<const uint8_t> s = brSpan(r, sizeof(T));
  return r->failed ? T{0} : bytesGetBe<T>(s.data());
}

constexpr uint8_t brU8(ByteReader* r) { return brLe<uint8_t>(r); }
constexpr double brF64le(ByteReader* r) { return std::bit_cast<double>(brLe<uint64_t>(r)); }
constexpr float brF32le(ByteReader* r) { return std::bit_cast<float>(brLe<uint32_t>(r)); }

// Copies the next n bytes to out; on failure out is zeroed.
inline bool brCopy(ByteReader* r, void* out, size_t n) {
  std::span<const uint8_t> s = brSpan(r, n);
  if (r->failed) {
    if (n) std::memset(out, 0, n);
    return false;
  }
  if (n) std::memcpy(out, s.data(), n);
  return true;
}

// ---- writer ---------------------------------------------------------------
// Appends to a byte vector. The value's type is always named
// (bwLe<uint32_t>(out, v)), so that the field width is visible at the call.

template <std::integral T>
void bwLe(std::vector<uint8_t>* out, std::type_identity_t<T> v) {
  uint8_t b[sizeof(T)];
  bytesPutLe<T>(b, v);
  out->insert(out->end(), b, b + sizeof(T));
}

template <std::integral T>
void bwBe(std::vector<uint8_t>* out, std::type_identity_t<T> v) {
  uint8_t b[sizeof(T)];
  bytesPutBe<T>(b, v);
  out->insert(out->end(), b, b + sizeof(T));
}

inline void bwU8(std::vector<uint8_t>* out, uint8_t v) { out->push_back(v); }
inline void bwF64le(std::vector<uint8_t>* out, double v) { bwLe<uint64_t>(out, std::bit_cast<uint64_t>(v)); }
inline void bwF32le(std::vector<uint8_t>* out, float v) { bwLe<uint32_t>(out, std::bit_cast<uint32_t>(v)); }

inline void bwBytes(std::vector<uint8_t>* out, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (n) out->insert(out->end(), p, p + n);
}
inline void bwBytes(std::vector<uint8_t>* out, std::span<const uint8_t> data) {
  out->insert(out->end(), data.begin(), data.end());
}

// Overwrites a field already written at byte `at`; false, changing nothing,
// when the field would not lie inside the vector.
template <std::integral T>
bool bwPatchLe(std::vector<uint8_t>* out, size_t at, std::type_identity_t<T> v) {
  if (at > out->size() || sizeof(T) > out->size() - at) return false;
  bytesPutLe<T>(out->data() + at, v);
  return true;
}

template <std::integral T>
bool bwPatchBe(std::vector<uint8_t>* out, size_t at, std::type_identity_t<T> v) {
  if (at > out->size() || sizeof(T) > out->size() - at) return false;
  bytesPutBe<T>(out->data() + at, v);
  return true;
}
