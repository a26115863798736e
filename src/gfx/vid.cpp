#include "gfx/vid.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/screen.h"

namespace {

void freeBuffers(VidClip* clip) {
  std::free(clip->table);
  std::free(clip->image);
  std::free(clip->frame);
  std::free(clip->previous);
  std::free(clip->data);
  std::free(clip->inflated);
}

bool hasPalette(const VidClip* clip, int frame) { return frame == 0 || clip->table[frame].key != 0; }

size_t pixelCount(const VidClip* clip) {
  return static_cast<size_t>(clip->width) * static_cast<size_t>(clip->height);
}

// Reads size bytes at offset, from the loaded image or the file. Every range
// was checked against the file size when the clip was opened.
bool readAt(VidClip* clip, uint32_t offset, uint32_t size, uint8_t* dst) {
  if (clip->image) {
    std::memcpy(dst, clip->image + offset, size);
    return true;
  }
  return std::fseek(clip->file, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fread(dst, 1, size, clip->file) == size;
}

// The palette behind a frame's data; a 15-bit screen drops the lowest green bit.
bool loadPalette(VidClip* clip, int frame, int bpp) {
  uint8_t bytes[VID_PALETTE_SIZE];
  const VidFrameEntry& e = clip->table[frame];
  if (!readAt(clip, e.offset + e.size, VID_PALETTE_SIZE, bytes)) return false;
  ByteReader r = brOpen(bytes);
  for (int i = 0; i < 256; i++) {
    uint16_t c = brLe<uint16_t>(&r);
    clip->palette[i] = bpp == 16 ? c : static_cast<uint16_t>(((c >> 1) & 0x7FE0) | (c & 0x1F));
  }
  return true;
}

void putPixel16(const VidTarget& t, int x, int y, uint16_t c) {
  std::memcpy(t.pixels + static_cast<ptrdiff_t>(y) * t.pitch + 2 * x, &c, 2);
}

void draw(const VidClip* clip, const uint8_t* indices, const VidTarget& t, int mode, int x, int y) {
  if (mode == VID_DRAW_DOTS) {
    // Dot-matrix look: every third row and column, odd rows shifted right by
    // one; the pixels between the dots are left alone.
    for (int k = 0; k < clip->height; k++) {
      int sy = y + 3 * k;
      if (sy < 0 || sy >= t.height) continue;
      const uint8_t* row = indices + static_cast<size_t>(k) * clip->width;
      for (int c = 0; c < clip->width; c++) {
        int sx = x + 3 * c + (k & 1);
        if (sx >= 0 && sx < t.width) putPixel16(t, sx, sy, clip->palette[row[c]]);
      }
    }
    return;
  }
  int x0 = x > 0 ? x : 0, y0 = y > 0 ? y : 0;
  int x1 = x + clip->width < t.width ? x + clip->width : t.width;
  int y1 = y + clip->height < t.height ? y + clip->height : t.height;
  for (int sy = y0; sy < y1; sy++) {
    const uint8_t* row = indices + static_cast<size_t>(sy - y) * clip->width;
    for (int sx = x0; sx < x1; sx++) putPixel16(t, sx, sy, clip->palette[row[sx - x]]);
  }
}

// Rebuilds the current frame from a delta stream over the previous one. A
// stream that runs past the frame is damaged and refused; pixels a short
// stream leaves out keep the previous frame's values.
bool decodeDelta(VidClip* clip, const uint8_t* src, size_t n) {
  size_t total = pixelCount(clip), pos = 0, i = 0;
  while (i < n) {
    unsigned a = src[i++];
    if (a < 128) {
      if (a > n - i || a > total - pos) return false;
      std::memcpy(clip->frame + pos, src + i, a);
      i += a;
      pos += a;
    } else {
      size_t k = a - 128;
      if (k > total - pos) return false;
      std::memcpy(clip->frame + pos, clip->previous + pos, k);
      pos += k;
    }
  }
  std::memcpy(clip->frame + pos, clip->previous + pos, total - pos);
  return true;
}

// Delta codes for cur against prev: unchanged runs as 128 + n, the rest as
// literal runs of at most 127 bytes.
void encodeDelta(const uint8_t* cur, const uint8_t* prev, size_t total, std::vector<uint8_t>* out) {
  size_t pos = 0;
  auto same = [&](size_t p) { return cur[p] == prev[p]; };
  while (pos < total) {
    size_t run = 0;
    while (pos + run < total && run < 127 && same(pos + run)) run++;
    if (run >= 2 || (run == 1 && pos + 1 == total)) {
      out->push_back(static_cast<uint8_t>(128 + run));
      pos += run;
      continue;
    }
    size_t start = pos, len = 0;
    // A literal run ends where at least three unchanged pixels begin.
    while (pos + len < total && len < 127) {
      if (pos + len + 2 < total && same(pos + len) && same(pos + len + 1) && same(pos + len + 2)) break;
      len++;
    }
    out->push_back(static_cast<uint8_t>(len));
    out->insert(out->end(), cur + start, cur + start + len);
    pos += len;
  }
}

}  // namespace

int vidOpen(VidClip* clip, const char* path) {
  std::memset(clip, 0, sizeof *clip);
  clip->last = -1;
  strCopyN(clip->path, path, sizeof clip->path);
  clip->file = std::fopen(path, "rb");
  if (!clip->file) return logError(0, "%s: can't open file '%s'", "vidOpen()", path);
  std::fseek(clip->file, 0, SEEK_END);
  clip->fileSize = std::ftell(clip->file);
  std::fseek(clip->file, 0, SEEK_SET);
  if (clip->fileSize < 0) {
    vidClose(clip);
    return logError(0, "%s: can't open file '%s'", "vidOpen()", path);
  }

  uint8_t h[VID_HEADER_SIZE];
  size_t got = std::fread(h, 1, sizeof h, clip->file);
  if (got != sizeof h) {
    vidClose(clip);
    return logError(0, "%s: error reading header of '%s' (%d of %d bytes read)", "vidOpen()", path,
                    static_cast<int>(got), 24);
  }
  ByteReader hr = brOpen(h);
  const uint8_t version = brU8(&hr);
  if (version != VID_VERSION) {
    vidClose(clip);
    return logError(0, "%s: incorrect video file version %d (must be %d)", "vidOpen()", version,
                    VID_VERSION);
  }
  uint32_t width = brLe<uint32_t>(&hr), height = brLe<uint32_t>(&hr);
  clip->model = brLe<int32_t>(&hr);
  uint32_t frames = brLe<uint32_t>(&hr);
  clip->delta = brU8(&hr);
  if (width == 0 || height == 0 || width > VID_MAX_SIDE || height > VID_MAX_SIDE) {
    vidClose(clip);
    return logError(0, "%s: damaged file '%s': frame size %ux%u", "vidOpen()", path, width, height);
  }
  clip->width = static_cast<int>(width);
  clip->height = static_cast<int>(height);
  uint64_t tableBytes = static_cast<uint64_t>(frames) * VID_FRAME_ENTRY_SIZE;
  if (frames == 0 || tableBytes > static_cast<uint64_t>(clip->fileSize) - VID_HEADER_SIZE) {
    vidClose(clip);
    return logError(0, "%s: damaged file '%s': %u frames don't fit in %ld bytes", "vidOpen()", path,
                    frames, clip->fileSize);
  }
  clip->frames = static_cast<int>(frames);

  std::vector<uint8_t> raw(tableBytes);
  clip->table = static_cast<VidFrameEntry*>(std::malloc(frames * sizeof(VidFrameEntry)));
  if (!clip->table) {
    vidClose(clip);
    return logError(0, "%s: not enough memory for frame headers (%d bytes)", "vidOpen()",
                    static_cast<int>(tableBytes));
  }
  got = std::fread(raw.data(), 1, raw.size(), clip->file);
  if (got != raw.size()) {
    vidClose(clip);
    return logError(0, "%s: error reading frames from '%s' (%d of %d bytes read)", "vidOpen()", path,
                    static_cast<int>(got), static_cast<int>(tableBytes));
  }
  size_t pixels = pixelCount(clip);
  ByteReader tr = brOpen(raw);
  for (uint32_t i = 0; i < frames; i++) {
    VidFrameEntry& e = clip->table[i];
    e.offset = brLe<uint32_t>(&tr);
    e.size = brLe<uint32_t>(&tr);
    e.key = brLe<uint32_t>(&tr);
    uint64_t end = static_cast<uint64_t>(e.offset) + e.size +
                   (hasPalette(clip, static_cast<int>(i)) ? VID_PALETTE_SIZE : 0);
    if (end > static_cast<uint64_t>(clip->fileSize) || e.size > 4 * pixels) {
      vidClose(clip);
      return logError(0, "%s: damaged file '%s': frame %u lies outside the file", "vidOpen()", path,
                      i);
    }
  }

  clip->frame = static_cast<uint8_t*>(std::calloc(pixels, 1));
  clip->previous = static_cast<uint8_t*>(std::calloc(pixels, 1));
  clip->data = static_cast<uint8_t*>(std::malloc(4 * pixels));
  clip->inflated = static_cast<uint8_t*>(std::malloc(2 * pixels));
  if (!clip->frame || !clip->previous || !clip->data || !clip->inflated) {
    vidClose(clip);
    return logError(0, "%s: not enough memory for buffers (%d bytes)", "vidOpen()",
                    static_cast<int>(16 * pixels));
  }
  return 1;
}

int vidLoad(VidClip* clip) {
  size_t size = static_cast<size_t>(clip->fileSize);
  clip->image = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (!clip->image)
    return logError(0, "%s: not enough memory to load video (%d bytes)", "vidLoad()",
                    static_cast<int>(size));
  std::fseek(clip->file, 0, SEEK_SET);
  size_t got = std::fread(clip->image, 1, size, clip->file);
  if (got != size) {
    std::free(clip->image);
    clip->image = nullptr;
    return logError(0, "%s: error reading video file data (%d of %d bytes read)", "vidLoad()",
                    static_cast<int>(got), static_cast<int>(size));
  }
  return 1;
}

int vidPutFrameTo(VidClip* clip, const VidTarget& target, int mode, int frame, int x, int y) {
  if (frame < 0 || frame >= clip->frames)
    return logError(0, "%s: invalid frame number %d (max %d)", "vidPutFrame()", frame,
                    clip->frames - 1);
  if (target.bpp != 15 && target.bpp != 16)
    return logError(0, "%s: screen of %d bits per pixel, clips need 15 or 16", "vidPutFrame()",
                    target.bpp);
  if (clip->delta && frame == clip->last && !hasPalette(clip, frame)) {
    // Shown last time: its pixels are in the previous-frame buffer now.
    draw(clip, clip->previous, target, mode, x, y);
    return 1;
  }
  if (clip->delta && !hasPalette(clip, frame) && frame != clip->last + 1)
    return logError(0, "%s: frame != (old_frame+1) (%d,%d)", "vidPutFrame()", frame, clip->last);

  const VidFrameEntry& e = clip->table[frame];
  if (!readAt(clip, e.offset, e.size, clip->data))
    return logError(0, "%s: error reading frame %d from '%s'", "vidPutFrame()", frame, clip->path);
  const uint8_t* src = clip->data;
  size_t n = e.size;
  if (clip->model == VID_MODEL_ZLIB) {
    uLongf out = static_cast<uLongf>(2 * pixelCount(clip));
    int rc = uncompress(clip->inflated, &out, clip->data, e.size);
    if (rc != Z_OK)
      return logError(0, "%s: uncompress() returned %d (frame-%d, size-%d)", "vidPutFrame()", rc,
                      frame, static_cast<int>(e.size));
    src = clip->inflated;
    n = out;
  } else if (clip->model != VID_MODEL_RAW) {
    return logError(0, "%s: model %d is not supported yet", "vidPutFrame()", clip->model);
  }

  if (hasPalette(clip, frame) && !loadPalette(clip, frame, target.bpp))
    return logError(0, "%s: error reading palette of frame %d from '%s'", "vidPutFrame()", frame,
                    clip->path);
  if (!clip->delta) {
    if (n < pixelCount(clip))
      return logError(0, "%s: damaged frame %d in '%s' (%d of %d bytes)", "vidPutFrame()", frame,
                      clip->path, static_cast<int>(n), static_cast<int>(pixelCount(clip)));
    std::memcpy(clip->frame, src, pixelCount(clip));
    draw(clip, clip->frame, target, mode, x, y);
  } else {
    if (hasPalette(clip, frame)) std::memset(clip->previous, 0, pixelCount(clip));
    if (!decodeDelta(clip, src, n))
      return logError(0, "%s: damaged frame %d in '%s' (codes run past the frame)",
                      "vidPutFrame()", frame, clip->path);
    draw(clip, clip->frame, target, mode, x, y);
    uint8_t* t = clip->previous;
    clip->previous = clip->frame;
    clip->frame = t;
  }
  clip->last = frame;
  return 1;
}

int vidPutFrame(VidClip* clip, int mode, int frame, int x, int y) {
  if (!gsCurrent) return logError(0, "%s: gsCurrent is NULL, SE", "vidPutFrame()");
  VidTarget t{gsCurrent->pixels, gsCurrent->pitch, gsCurrent->width, gsCurrent->height,
              gsCurrent->bpp};
  return vidPutFrameTo(clip, t, mode, frame, x, y);
}

void vidClose(VidClip* clip) {
  if (clip->file) std::fclose(clip->file);
  freeBuffers(clip);
  std::memset(clip, 0, sizeof *clip);
  clip->last = -1;
}

int vidBuild(std::vector<uint8_t>* out, int width, int height, int model, int delta,
             std::span<const VidFrameIn> frames) {
  if (width <= 0 || height <= 0 || width > VID_MAX_SIDE || height > VID_MAX_SIDE)
    return logError(-1, "%s: invalid frame size %dx%d", "vidBuild()", width, height);
  if (frames.empty() || !frames[0].palette)
    return logError(-1, "%s: the first frame needs a palette", "vidBuild()");
  if (model != VID_MODEL_ZLIB && model != VID_MODEL_RAW)
    return logError(-1, "%s: model %d is not supported", "vidBuild()", model);
  size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);

  out->clear();
  bwU8(out, VID_VERSION);
  bwLe<int32_t>(out, width);
  bwLe<int32_t>(out, height);
  bwLe<int32_t>(out, model);
  bwLe<uint32_t>(out, static_cast<uint32_t>(frames.size()));
  bwU8(out, delta ? 1 : 0);
  size_t tablePos = out->size();
  out->resize(tablePos + VID_FRAME_ENTRY_SIZE * frames.size());

  std::vector<uint8_t> zeros(total, 0), payload, packed;
  for (size_t f = 0; f < frames.size(); f++) {
    const VidFrameIn& in = frames[f];
    bool key = in.palette != nullptr;
    payload.clear();
    if (delta) {
      encodeDelta(in.indices, key ? zeros.data() : frames[f - 1].indices, total, &payload);
    } else {
      payload.assign(in.indices, in.indices + total);
    }
    const std::vector<uint8_t>* data = &payload;
    if (model == VID_MODEL_ZLIB) {
      uLongf len = compressBound(static_cast<uLong>(payload.size()));
      packed.resize(len);
      if (compress2(packed.data(), &len, payload.data(), static_cast<uLong>(payload.size()), 9) != Z_OK)
        return logError(-1, "%s: compress2() failed on frame %d", "vidBuild()", static_cast<int>(f));
      packed.resize(len);
      data = &packed;
    }
    const size_t entry = tablePos + VID_FRAME_ENTRY_SIZE * f;
    bwPatchLe<uint32_t>(out, entry, static_cast<uint32_t>(out->size()));
    bwPatchLe<uint32_t>(out, entry + 4, static_cast<uint32_t>(data->size()));
    bwPatchLe<uint32_t>(out, entry + 8, key && f > 0 ? 1u : 0u);
    bwBytes(out, *data);
    if (key)
      for (int i = 0; i < 256; i++) bwLe<uint16_t>(out, in.palette[i]);
  }
  return 0;
}

int vidWrite(const char* path, int width, int height, int model, int delta,
             std::span<const VidFrameIn> frames) {
  std::vector<uint8_t> bytes;
  if (vidBuild(&bytes, width, height, model, delta, frames) < 0)
    return logError(-1, "%s: can't build '%s'", "vidWrite()", path);
  FILE* f = std::fopen(path, "wb");
  if (!f) return logError(-1, "%s: can't open to write file '%s'", "vidWrite()", path);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return logError(-1, "%s: error writing file '%s'", "vidWrite()", path);
  return 0;
}
