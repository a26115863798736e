// pbtool gsp commands: sprite files inspected, built from PNG pictures and
// taken apart into PNG pictures. Sprites are loaded in their file format, so
// no screen is needed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "pngio.h"

namespace {

// Frees the sprite when the command ends.
struct LoadedSprite {
  Sprite* s;
  explicit LoadedSprite(const char* path) : s(SPR_CREATE_FLAGS(path, nullptr, SPR_LOAD_RAW)) {}
  ~LoadedSprite() {
    if (s) SPR_FREE(s);
  }
  LoadedSprite(const LoadedSprite&) = delete;
  LoadedSprite& operator=(const LoadedSprite&) = delete;
};

// The PNG files an operand names: the file itself, or the *.png files of a
// directory in name order.
bool framePaths(const char* operand, std::vector<std::string>* paths) {
  std::error_code ec;
  if (!std::filesystem::is_directory(operand, ec)) {
    paths->push_back(operand);
    return true;
  }
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(operand, ec)) {
    if (entry.path().extension() == ".png") found.push_back(entry.path().string());
  }
  if (ec) return logError(0, "%s: can't list '%s', error-'%s'", "pbtool gsp build", operand, ec.message().c_str());
  if (found.empty()) return logError(0, "%s: no .png files in '%s'", "pbtool gsp build", operand);
  std::sort(found.begin(), found.end());
  paths->insert(paths->end(), found.begin(), found.end());
  return true;
}

}  // namespace

// gsp info FILE: "cm<TAB>C<TAB>numfrms<TAB>N<TAB>maxfrm<TAB>M", then one line
// per frame: index, width, height, x0, y0, x1, y1, stream size.
int cmdGspInfo(char** a) {
  LoadedSprite sprite(a[0]);
  const Sprite* s = sprite.s;
  if (!s) return 1;
  std::printf("cm\t%d\tnumfrms\t%d\tmaxfrm\t%d\n", s->cm, s->numfrms, s->maxfrm);
  for (int i = 0; i < s->numfrms; ++i) {
    const SprFrame& f = s->frames[i];
    std::printf("frame\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\n", i, f.width, f.height, f.x0, f.y0, f.x1, f.y1, f.size);
  }
  return 0;
}

// gsp build OUT.gsp CM FRAME...: each operand a PNG picture (one frame, its
// top-left pixel at the sprite's origin) or a directory of them. Prints nothing.
int cmdGspBuild(char** a) {
  const char* fn = "pbtool gsp build";
  const long* cm = strToLong(a[1]);
  if (!cm || !gspModelFormat(static_cast<int>(*cm))) {
    return logError(1, "%s: colour model '%s' is not one of 1, 2, 4, 5, 6, 7", fn, a[1]);
  }
  std::vector<std::string> paths;
  for (char** operand = a + 2; *operand; ++operand) {
    if (!framePaths(*operand, &paths)) return 1;
  }
  std::vector<std::vector<uint8_t>> pictures(paths.size());
  std::vector<GspFrameImage> frames(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    GspFrameImage& f = frames[i];
    if (!pngReadRGBA(paths[i].c_str(), &f.width, &f.height, &pictures[i])) {
      return logError(1, "%s: can't read frame %zu from '%s'", fn, i, paths[i].c_str());
    }
    f.rgba = pictures[i].data();
  }
  if (gspWrite(a[0], static_cast<int>(*cm), frames) < 0) return 1;
  return 0;
}

// gsp frames FILE.gsp OUTDIR: every frame as OUTDIR/frame-NNN.png (RGBA of
// the frame's size, at least 1x1), one written path a line.
int cmdGspFrames(char** a) {
  const char* fn = "pbtool gsp frames";
  LoadedSprite sprite(a[0]);
  const Sprite* s = sprite.s;
  if (!s) return 1;
  std::error_code ec;
  std::filesystem::create_directories(a[1], ec);
  if (ec) return logError(1, "%s: can't create '%s', error-'%s'", fn, a[1], ec.message().c_str());
  std::string out;
  std::vector<uint8_t> rgba;
  for (int i = 0; i < s->numfrms; ++i) {
    if (gspDecodeFrame(s, i, &rgba) < 0) return 1;
    int w = s->frames[i].width, h = s->frames[i].height;
    if (w == 0 || h == 0) {  // PNG has no empty pictures
      w = std::max(w, 1), h = std::max(h, 1);
      rgba.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
    }
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%03d.png", i);
    std::string path = std::string(a[1]) + name;
    if (!pngWriteRGBA(path.c_str(), w, h, rgba.data())) {
      return logError(1, "%s: can't write frame %d to '%s'", fn, i, path.c_str());
    }
    out += path + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}
