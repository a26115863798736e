// Encoding RGBA pictures as .gsp sprites and decoding sprite frames to RGBA.
#include "gfx/gspwrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/bytes.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/pack.h"
#include "gfx/sprite.h"

namespace {

// Encodes one frame's stream; `model` gives the pixel layout.
struct FrameEncoder {
  const GdevPixelFormat* format;
  int bpp;         // bytes per pixel
  bool runAlpha;
  int limit;       // largest whole-pixel skip or run byte
  std::vector<uint8_t>* out;

  bool kept(const uint8_t* px) const { return runAlpha ? px[3] != 0 : px[3] >= 128; }

  void putPixel(const uint8_t* px) const {
    const uint8_t rgb[3] = {px[0], px[1], px[2]};
    const int pos[3] = {format->redPos, format->greenPos, format->bluePos};
    const int adjust[3] = {format->redAdjust, format->greenAdjust, format->blueAdjust};
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c) v |= static_cast<uint32_t>(rgb[c] >> adjust[c]) << pos[c];
    for (int k = 0; k < bpp; ++k) out->push_back(static_cast<uint8_t>(v >> (8 * k)));
  }

  void lineFeed(int rows) const {
    for (; rows > 0; rows -= std::min(rows, 255)) {
      out->push_back(GSP_CODE_LINEFEED);
      out->push_back(static_cast<uint8_t>(std::min(rows, 255)));
    }
  }

  // A run of n pixels (px, 4 bytes each) behind a skip of `skip` pixels.
  void run(long skip, const uint8_t* px, int n) const {
    long skipBytes = skip * bpp;
    for (; skipBytes > limit; skipBytes -= limit) {
      out->push_back(static_cast<uint8_t>(limit));
      out->push_back(0);
    }
    out->push_back(static_cast<uint8_t>(skipBytes));
    const int perChunk = limit / bpp;
    for (int done = 0; done < n;) {
      int chunk = std::min(n - done, perChunk);
      if (done > 0) out->push_back(0);
      out->push_back(static_cast<uint8_t>(chunk * bpp));
      if (runAlpha) out->push_back(px[3]);
      for (int i = 0; i < chunk; ++i) putPixel(px + 4 * (done + i));
      done += chunk;
    }
  }
};

struct EncodedFrame {
  int width, height, x0, x1, y0, y1;
  std::vector<uint8_t> stream;
};

int encodeFrame(const FrameEncoder& base, const GspFrameImage& img, int index, EncodedFrame* ef) {
  const char* fn = "gspEncode()";
  if (img.width < 0 || img.height < 0 || img.originX < 0 || img.originY < 0 ||
      (!img.rgba && img.width > 0 && img.height > 0)) {
    return logError(-1, "%s: frame %d has a bad size %dx%d or origin offset (%d,%d)", fn, index, img.width,
                    img.height, img.originX, img.originY);
  }
  long long w = static_cast<long long>(img.originX) + img.width;
  long long h = static_cast<long long>(img.originY) + img.height;
  if (w > GSP_MAX_REACH || h > GSP_MAX_REACH) {
    return logError(-1, "%s: frame %d reaches %lldx%lld pixels, more than %d", fn, index, w, h,
                    static_cast<int>(GSP_MAX_REACH));
  }
  FrameEncoder enc = base;
  enc.out = &ef->stream;
  ef->width = static_cast<int>(w);
  ef->height = static_cast<int>(h);
  ef->x0 = ef->x1 = ef->y0 = ef->y1 = 0;
  ef->stream.clear();

  auto pixel = [&](int x, int y) {
    return img.rgba + (static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)) * 4;
  };
  int bx0 = img.width, by0 = img.height, bx1 = -1, by1 = -1;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      if (!enc.kept(pixel(x, y))) continue;
      bx0 = std::min(bx0, x), bx1 = std::max(bx1, x);
      by0 = std::min(by0, y), by1 = std::max(by1, y);
    }
  }
  if (bx1 >= 0) {
    ef->x0 = bx0 + img.originX;
    ef->x1 = bx1 + 1 + img.originX;
    ef->y0 = by0 + img.originY;
    ef->y1 = by1 + 1 + img.originY;
    // The cursor starts on the origin row at column x0.
    int rowsDown = ef->y0;
    for (int y = by0; y <= by1; ++y, ++rowsDown) {
      int cursor = bx0;
      for (int x = bx0; x <= bx1;) {
        const uint8_t* px = pixel(x, y);
        if (!enc.kept(px)) {
          ++x;
          continue;
        }
        int end = x + 1;
        while (end <= bx1 && enc.kept(pixel(end, y)) && (!enc.runAlpha || pixel(end, y)[3] == px[3])) ++end;
        enc.lineFeed(rowsDown);
        rowsDown = 0;
        enc.run(x - cursor, px, end - x);
        cursor = x = end;
      }
    }
  }
  ef->stream.push_back(GSP_CODE_END);
  return 0;
}

}  // namespace

int gspEncode(int cm, std::span<const GspFrameImage> frames, std::vector<uint8_t>* out) {
  const char* fn = "gspEncode()";
  const GdevPixelFormat* format = gspModelFormat(cm);
  if (!format) return logError(-1, "%s: unknown colour model %d", fn, cm);
  if (frames.empty() || frames.size() > static_cast<size_t>(PF_MAX_RECORDS - 1)) {
    return logError(-1, "%s: %zu frames, a sprite holds 1 to %d", fn, frames.size(), PF_MAX_RECORDS - 1);
  }
  const int bpp = gspModelBytes(cm);
  FrameEncoder base{format, bpp, gspModelAlpha(cm), GSP_MAX_COUNT - GSP_MAX_COUNT % bpp, nullptr};
  std::vector<EncodedFrame> encoded(frames.size());
  size_t maxfrm = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (encodeFrame(base, frames[i], static_cast<int>(i), &encoded[i]) < 0) return -1;
    maxfrm = std::max(maxfrm, encoded[i].stream.size());
  }

  // The pack: signature, directory (header record, then frame i with id i),
  // then the sections in the same order.
  const size_t records = frames.size() + 1;
  size_t offset = PF_HEADER_SIZE + PF_RECORD_SIZE * records;
  size_t total = offset + GSP_HEADER_SIZE;
  for (const EncodedFrame& ef : encoded) total += GSP_FRAME_HEADER_SIZE + ef.stream.size();
  if (total > 0x7FFFFFFF) return logError(-1, "%s: %zu bytes are too many for a pack", fn, total);
  out->clear();
  out->reserve(total);
  bwBe<uint16_t>(out, PF_SIGNATURE);
  bwBe<uint16_t>(out, static_cast<uint16_t>(records));
  auto record = [&](int32_t id, size_t len) {
    bwU8(out, PF_SECTION);
    bwBe<int32_t>(out, id);
    bwBe<uint32_t>(out, static_cast<uint32_t>(offset));
    bwBe<uint32_t>(out, static_cast<uint32_t>(len));
    offset += len;
  };
  record(pfSectionId("gsphdr"), GSP_HEADER_SIZE);
  for (size_t i = 0; i < encoded.size(); ++i) {
    record(static_cast<int32_t>(i), GSP_FRAME_HEADER_SIZE + encoded[i].stream.size());
  }
  bwBe<uint16_t>(out, GSP_VERSION);
  bwU8(out, static_cast<uint8_t>(cm));
  bwBe<uint32_t>(out, static_cast<uint32_t>(frames.size()));
  bwBe<uint32_t>(out, static_cast<uint32_t>(maxfrm));
  for (const EncodedFrame& ef : encoded) {
    for (int v : {ef.width, ef.height, ef.x0, ef.x1, ef.y0, ef.y1})
      bwBe<uint16_t>(out, static_cast<uint16_t>(v));
    bwBytes(out, ef.stream);
  }
  return 0;
}

int gspWrite(const char* path, int cm, std::span<const GspFrameImage> frames) {
  const char* fn = "gspWrite()";
  std::vector<uint8_t> bytes;
  if (gspEncode(cm, frames, &bytes) < 0) return logError(-1, "%s: can't encode '%s'", fn, path);
  FILE* f = std::fopen(path, "wb");
  if (!f) return logError(-1, "%s: can't create '%s', error-'%s'", fn, path, std::strerror(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return logError(-1, "%s: error writing '%s'", fn, path);
  return 0;
}

int gspDecodeFrame(const Sprite* s, int frame, std::vector<uint8_t>* rgba) {
  const char* fn = "gspDecodeFrame()";
  if (!sprCheck(s, fn)) return -1;
  if (frame < 0 || frame >= s->numfrms) {
    return logError(-1, "%s: invalid frame %d (max %d)", fn, frame, s->numfrms - 1);
  }
  const SprFrame& f = s->frames[frame];
  const int w = f.width, h = f.height, bpp = s->bytesPerPixel;
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  if (bytes > GSP_MAX_DECODE_BYTES) {
    return logError(-1, "%s: frame %d of '%s' is %dx%d pixels, too large to decode", fn, frame, s->name, w, h);
  }
  try {
    rgba->assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    return logError(-1, "%s: not enough memory for %zu bytes", fn, bytes);
  }
  if (f.size <= 0) return 0;
  const GdevPixelFormat& pf = s->pixelFormat;
  const uint32_t mask[3] = {static_cast<uint32_t>(pf.redMask), static_cast<uint32_t>(pf.greenMask),
                            static_cast<uint32_t>(pf.blueMask)};
  const int pos[3] = {pf.redPos, pf.greenPos, pf.bluePos};
  const int adjust[3] = {pf.redAdjust, pf.greenAdjust, pf.blueAdjust};
  const uint8_t* p = f.stream;
  long row = 0, col = 0;  // col in pixels from x0
  for (;;) {
    unsigned code = *p++;
    if (code == GSP_CODE_END) break;
    if (code == GSP_CODE_LINEFEED) {
      row += *p++;
      col = 0;
      continue;
    }
    col += code / static_cast<unsigned>(bpp);
    unsigned run = *p++;
    if (run == 0) continue;
    unsigned alpha = s->alpha ? *p++ : 255u;
    for (unsigned i = 0; i < run; i += static_cast<unsigned>(bpp), p += bpp, ++col) {
      long x = f.x0 + col;
      if (row >= h || x >= w) continue;
      uint32_t v = 0;
      for (int k = 0; k < bpp; ++k) v |= static_cast<uint32_t>(p[k]) << (8 * k);
      uint8_t* out = rgba->data() + (static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(((v >> pos[c]) & mask[c]) << adjust[c]);
      out[3] = static_cast<uint8_t>(alpha);
    }
  }
  return 0;
}
