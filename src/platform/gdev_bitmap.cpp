// Windows BMP files: a reader that treats the file as untrusted, a writer for
// the data tools, and drawing a bitmap into a surface with conversion.
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/bytes.h"
#include "platform/gdev_internal.h"

namespace {

constexpr const char* kLoad = "gdevLoadBitmap()";
constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;
constexpr size_t kHeaderBytes = (sizeof(GdevBitmap) + 15) / 16 * 16;
// The bitmap files of the game are a few megabytes at most.
constexpr long kMaxFileBytes = 256L * 1024 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Nearest palette entry of an 8-bit surface, the first of equals.
uint8_t nearestIndex(const GdevDC* dc, int red, int green, int blue) {
  long best = -1;
  int index = 0;
  for (int i = 0; i < 256; ++i) {
    const GdevColor& c = dc->palette[i];
    long dr = c.red - red, dg = c.green - green, db = c.blue - blue;
    long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best) {
      best = d;
      index = i;
    }
  }
  return static_cast<uint8_t>(index);
}

}  // namespace

GdevBitmap* gdevCreateBitmap(int width, int height, int bitsPerPixel) {
  if (bitsPerPixel != 8 && bitsPerPixel != 24) {
    gdev::fail("gdevCreateBitmap()", "unsupported depth %d bpp", bitsPerPixel);
    return nullptr;
  }
  if (width < 1 || height < 1 || width > GDEV_BITMAP_MAX_SIDE || height > GDEV_BITMAP_MAX_SIDE) {
    gdev::fail("gdevCreateBitmap()", "invalid bitmap size %dx%d", width, height);
    return nullptr;
  }
  size_t pitch = static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8);
  size_t bytes = pitch * static_cast<size_t>(height);
  void (*release)(void*) = nullptr;
  auto* block = static_cast<uint8_t*>(gdev::allocBlock(kHeaderBytes + bytes, &release));
  if (!block) {
    gdev::fail("gdevCreateBitmap()", "not enough memory for a %dx%d bitmap", width, height);
    return nullptr;
  }
  auto* bmp = new (block) GdevBitmap{};
  bmp->width = width;
  bmp->height = height;
  bmp->bitsPerPixel = bitsPerPixel;
  bmp->bytesPerLine = static_cast<int>(pitch);
  bmp->paletteCount = bitsPerPixel == 8 ? 256 : 0;
  bmp->pixels = block + kHeaderBytes;
  bmp->release = release;
  std::memset(bmp->pixels, 0, bytes);
  return bmp;
}

void gdevFreeBitmap(GdevBitmap* bitmap) {
  if (!bitmap) return;
  void (*release)(void*) = bitmap->release;
  bitmap->~GdevBitmap();
  release(bitmap);
}

GdevBitmap* gdevParseBitmap(std::span<const uint8_t> bytes, const char* name) {
  if (!name) name = "(memory)";
  ByteReader in = brOpen(bytes);
  brSeek(&in, 10);
  uint32_t dataOffset = brLe<uint32_t>(&in);
  uint32_t infoSize = brLe<uint32_t>(&in);
  if (!brOk(&in)) {
    gdev::fail(kLoad, "'%s': too short for a bitmap header (%zu bytes)", name, bytes.size());
    return nullptr;
  }
  if (bytes[0] != 'B' || bytes[1] != 'M') {
    gdev::fail(kLoad, "'%s': not a BMP file (no 'BM' signature)", name);
    return nullptr;
  }
  // The 40-byte header and its later extensions (52, 56, 108, 124 bytes) share
  // the fields read here; the old 12-byte form is not used by any writer we meet.
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    gdev::fail(kLoad, "'%s': unsupported info header size %u", name, infoSize);
    return nullptr;
  }
  if (infoSize - 4 > brRemaining(&in)) {
    gdev::fail(kLoad, "'%s': info header runs past the end of the file", name);
    return nullptr;
  }
  int32_t width = brLe<int32_t>(&in);
  int32_t rawHeight = brLe<int32_t>(&in);
  uint32_t planes = brLe<uint16_t>(&in);
  uint32_t bits = brLe<uint16_t>(&in);
  uint32_t compression = brLe<uint32_t>(&in);
  brSkip(&in, 12);  // image size, resolution
  uint32_t colorsUsed = brLe<uint32_t>(&in);
  if (planes != 1) {
    gdev::fail(kLoad, "'%s': invalid plane count %u", name, planes);
    return nullptr;
  }
  if (bits != 8 && bits != 24) {
    gdev::fail(kLoad, "'%s': unsupported depth %u bpp (8 and 24 are read)", name, bits);
    return nullptr;
  }
  if (compression != 0) {
    gdev::fail(kLoad, "'%s': compressed bitmaps are not read (compression %u)", name, compression);
    return nullptr;
  }
  bool topDown = rawHeight < 0;
  long long height = topDown ? -static_cast<long long>(rawHeight) : rawHeight;
  if (width < 1 || height < 1 || width > GDEV_BITMAP_MAX_SIDE || height > GDEV_BITMAP_MAX_SIDE) {
    gdev::fail(kLoad, "'%s': invalid dimensions %dx%lld", name, width, height);
    return nullptr;
  }
  size_t headersEnd = kFileHeader + infoSize;
  size_t paletteCount = 0;
  std::span<const uint8_t> palette;
  if (bits == 8) {
    paletteCount = colorsUsed ? colorsUsed : 256;
    if (colorsUsed > 256) {
      gdev::fail(kLoad, "'%s': palette of %u entries (at most 256)", name, colorsUsed);
      return nullptr;
    }
    ByteReader at = brOpen(bytes);
    brSeek(&at, headersEnd);
    palette = brSpan(&at, paletteCount * 4);
    if (!brOk(&at)) {
      gdev::fail(kLoad, "'%s': palette runs past the end of the file", name);
      return nullptr;
    }
    headersEnd += paletteCount * 4;
  }
  if (dataOffset < headersEnd) {
    gdev::fail(kLoad, "'%s': pixel data offset %u overlaps the headers (%zu bytes)", name,
               dataOffset, headersEnd);
    return nullptr;
  }
  size_t rowBytes = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  size_t dataBytes = rowBytes * static_cast<size_t>(height);
  ByteReader at = brOpen(bytes);
  brSeek(&at, dataOffset);
  std::span<const uint8_t> data = brSpan(&at, dataBytes);
  if (!brOk(&at)) {
    gdev::fail(kLoad, "'%s': pixel data truncated (needs %zu bytes at offset %u, file has %zu)",
               name, dataBytes, dataOffset, bytes.size());
    return nullptr;
  }
  GdevBitmap* bmp = gdevCreateBitmap(width, static_cast<int>(height), static_cast<int>(bits));
  if (!bmp) return nullptr;
  bmp->paletteCount = static_cast<int>(paletteCount);
  for (size_t i = 0; i < paletteCount; ++i) {
    const uint8_t* bgr = palette.data() + 4 * i;
    bmp->palette[i] = GdevColor{bgr[2], bgr[1], bgr[0], 0};
  }
  size_t copy = static_cast<size_t>(bmp->bytesPerLine);
  for (long long row = 0; row < height; ++row) {
    long long target = topDown ? row : height - 1 - row;
    std::memcpy(bmp->pixels + static_cast<size_t>(target) * copy,
                data.data() + static_cast<size_t>(row) * rowBytes, copy);
  }
  return bmp;
}

GdevBitmap* gdevLoadBitmap(const char* path) {
  FilePtr f(path ? std::fopen(path, "rb") : nullptr);
  if (!f) {
    gdev::fail(kLoad, "can't open '%s'", path ? path : "(null)");
    return nullptr;
  }
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    if (data.size() + got > static_cast<size_t>(kMaxFileBytes)) {
      gdev::fail(kLoad, "'%s': file is larger than %ld bytes", path, kMaxFileBytes);
      return nullptr;
    }
    data.insert(data.end(), chunk, chunk + got);
  }
  if (std::ferror(f.get())) {
    gdev::fail(kLoad, "'%s': read error", path);
    return nullptr;
  }
  return gdevParseBitmap(data, path);
}

bool gdevEncodeBitmap(const GdevBitmap* bmp, std::vector<uint8_t>* image) {
  if (!bmp || !image || (bmp->bitsPerPixel != 8 && bmp->bitsPerPixel != 24)) {
    gdev::fail("gdevEncodeBitmap()", "no bitmap of 8 or 24 bpp");
    return false;
  }
  const uint32_t bits = static_cast<uint32_t>(bmp->bitsPerPixel);
  const size_t rowBytes = (static_cast<size_t>(bmp->width) * bits + 31) / 32 * 4;
  const uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
  const uint32_t dataOffset = static_cast<uint32_t>(kFileHeader + kInfoHeader) + paletteBytes;
  const size_t dataBytes = rowBytes * static_cast<size_t>(bmp->height);
  image->clear();
  image->reserve(dataOffset + dataBytes);
  image->push_back('B');
  image->push_back('M');
  bwLe<uint32_t>(image, static_cast<uint32_t>(dataOffset + dataBytes));
  bwLe<uint32_t>(image, 0);
  bwLe<uint32_t>(image, dataOffset);
  bwLe<uint32_t>(image, kInfoHeader);
  bwLe<int32_t>(image, bmp->width);
  bwLe<int32_t>(image, bmp->height);  // bottom-up
  bwLe<uint16_t>(image, 1);
  bwLe<uint16_t>(image, static_cast<uint16_t>(bits));
  bwLe<uint32_t>(image, 0);  // uncompressed
  bwLe<uint32_t>(image, static_cast<uint32_t>(dataBytes));
  bwLe<uint32_t>(image, 2835);  // 72 dpi
  bwLe<uint32_t>(image, 2835);
  bwLe<uint32_t>(image, bits == 8 ? 256 : 0);
  bwLe<uint32_t>(image, 0);
  if (bits == 8) {
    for (const GdevColor& c : bmp->palette) {
      image->push_back(c.blue);
      image->push_back(c.green);
      image->push_back(c.red);
      image->push_back(0);
    }
  }
  const size_t copy = static_cast<size_t>(bmp->bytesPerLine);
  for (int row = bmp->height - 1; row >= 0; --row) {
    const uint8_t* from = bmp->pixels + static_cast<size_t>(row) * copy;
    image->insert(image->end(), from, from + copy);
    image->insert(image->end(), rowBytes - copy, 0);
  }
  return true;
}

bool gdevSaveBitmap(const char* path, const GdevBitmap* bmp) {
  std::vector<uint8_t> image;
  if (!gdevEncodeBitmap(bmp, &image)) return false;
  FilePtr f(path ? std::fopen(path, "wb") : nullptr);
  if (!f) {
    gdev::fail("gdevSaveBitmap()", "can't create '%s'", path ? path : "(null)");
    return false;
  }
  if (std::fwrite(image.data(), 1, image.size(), f.get()) != image.size() ||
      std::fclose(f.release()) != 0) {
    gdev::fail("gdevSaveBitmap()", "error writing '%s'", path);
    return false;
  }
  return true;
}

bool gdevPutBitmap(GdevDC* dc, int x, int y, const GdevBitmap* bmp) {
  if (!dc || !bmp) {
    gdev::fail("gdevPutBitmap()", "null surface or bitmap");
    return false;
  }
  long long left = x < 0 ? -static_cast<long long>(x) : 0;
  long long top = y < 0 ? -static_cast<long long>(y) : 0;
  long long right = bmp->width, bottom = bmp->height;
  if (static_cast<long long>(x) + right > dc->width) right = static_cast<long long>(dc->width) - x;
  if (static_cast<long long>(y) + bottom > dc->height)
    bottom = static_cast<long long>(dc->height) - y;
  // 8-bit bitmaps map their palette once; 8-bit surfaces remember the last
  // colour looked up, since pictures repeat colours along a row.
  uint32_t lut[256];
  if (bmp->bitsPerPixel == 8) {
    for (int i = 0; i < 256; ++i) {
      const GdevColor& c = bmp->palette[i];
      lut[i] = dc->bitsPerPixel == 8 ? nearestIndex(dc, c.red, c.green, c.blue)
                                     : gdevPackRGB(&dc->format, c.red, c.green, c.blue);
    }
  }
  uint32_t lastRGB = UINT32_MAX, lastPixel = 0;
  for (long long row = top; row < bottom; ++row) {
    const uint8_t* from =
        bmp->pixels + static_cast<size_t>(row) * static_cast<size_t>(bmp->bytesPerLine);
    for (long long col = left; col < right; ++col) {
      uint32_t pixel;
      if (bmp->bitsPerPixel == 8) {
        pixel = lut[from[col]];
      } else {
        const uint8_t* p = from + col * 3;
        uint32_t rgb = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        if (rgb != lastRGB) {
          lastRGB = rgb;
          lastPixel = dc->bitsPerPixel == 8 ? nearestIndex(dc, p[2], p[1], p[0])
                                            : gdevPackRGB(&dc->format, p[2], p[1], p[0]);
        }
        pixel = lastPixel;
      }
      gdevWritePixel(dc, static_cast<int>(x + col), static_cast<int>(y + row), pixel);
    }
  }
  return true;
}
