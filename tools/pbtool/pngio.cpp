#include "pngio.h"

#include <png.h>

#include <cstring>

#include "core/log.h"
#include "platform/gdev.h"

bool pngReadRGBA(const char* path, int* width, int* height, std::vector<uint8_t>* rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path))
    return logError(0, "%s: can't read '%s': %s", "pngReadRGBA()", path, image.message) != 0;
  if (image.width == 0 || image.height == 0 || image.width > PNG_MAX_SIDE ||
      image.height > PNG_MAX_SIDE) {
    png_image_free(&image);
    return logError(0, "%s: '%s' is %ux%u pixels, at most %d a side", "pngReadRGBA()", path,
                    image.width, image.height, PNG_MAX_SIDE) != 0;
  }
  image.format = PNG_FORMAT_RGBA;
  rgba->assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) {
    png_image_free(&image);
    return logError(0, "%s: can't read '%s': %s", "pngReadRGBA()", path, image.message) != 0;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}

bool pngWriteRGBA(const char* path, int width, int height, const uint8_t* rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path, 0, rgba, 0, nullptr))
    return logError(0, "%s: can't write '%s': %s", "pngWriteRGBA()", path, image.message) != 0;
  return true;
}

bool pngWriteDC(const char* path, const GdevDC* dc) {
  std::vector<uint8_t> rgba(static_cast<size_t>(dc->width) * dc->height * 4);
  for (int y = 0; y < dc->height; y++)
    for (int x = 0; x < dc->width; x++) {
      int r, g, b;
      gdevUnpackRGB(&dc->format, gdevReadPixel(dc, x, y), &r, &g, &b);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * dc->width + x) * 4];
      p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b), p[3] = 255;
    }
  return pngWriteRGBA(path, dc->width, dc->height, rgba.data());
}
