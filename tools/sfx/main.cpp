// pbsfx GAMEDIR: synthesises every sound sample the game loads into
// GAMEDIR/samples/.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "sfx/synth.h"

namespace {

void usage(FILE* to) {
  std::fprintf(to,
               "usage: pbsfx GAMEDIR\n"
               "       pbsfx --list   (each sample's path and what it sounds like)\n"
               "Synthesises the game's sound samples (44100 Hz, 16-bit mono WAV) into\n"
               "GAMEDIR/samples/. The output is the same, byte for byte, on every run.\n");
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (int i = 0; i < sfx::recipeCount(); ++i) {
      std::printf("%s\t%s\n", sfx::recipes()[i].path, sfx::recipes()[i].what);
    }
    return 0;
  }
  if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
    usage(stderr);
    return 1;
  }
  const std::filesystem::path dir(argv[1]);
  int written = 0;
  for (int i = 0; i < sfx::recipeCount(); ++i) {
    const sfx::Recipe& r = sfx::recipes()[i];
    const std::filesystem::path path = dir / r.path;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
      std::fprintf(stderr, "pbsfx: can't create the folder '%s': %s\n",
                   path.parent_path().string().c_str(), ec.message().c_str());
      return 1;
    }
    const std::vector<int16_t> frames = sfx::render(r);
    if (frames.empty()) {
      std::fprintf(stderr, "pbsfx: the recipe of '%s' makes no sound\n", r.path);
      return 1;
    }
    if (!writeWhole(path.string(), sfx::wavImage(frames))) {
      std::fprintf(stderr, "pbsfx: can't write '%s'\n", path.string().c_str());
      return 1;
    }
    ++written;
  }
  std::printf("pbsfx: %d samples written to %s\n", written, (dir / "samples").string().c_str());
  return 0;
}
