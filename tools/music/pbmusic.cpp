// pbmusic GAMEDIR: composes the game's music modules into GAMEDIR/music.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "music/compose.h"
#include "music/it_writer.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
  return std::fclose(f.release()) == 0;
}

void usage(FILE* to) {
  std::fprintf(to,
               "usage: pbmusic GAMEDIR\n"
               "Composes the game's music modules (Impulse Tracker) into GAMEDIR/music.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '\0') {
    usage(stderr);
    return 1;
  }
  const std::string gameDir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(gameDir + "/music", ec);
  if (ec) {
    std::fprintf(stderr, "pbmusic: can't create '%s/music': %s\n", gameDir.c_str(), ec.message().c_str());
    return 1;
  }
  size_t total = 0;
  const std::vector<MusicPiece> pieces = composeAll();
  for (const MusicPiece& piece : pieces) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!itWrite(piece.module, &bytes, &error)) {
      std::fprintf(stderr, "pbmusic: %s: %s\n", piece.file, error.c_str());
      return 1;
    }
    const std::string path = gameDir + "/" + piece.file;
    if (!writeBytes(path, bytes)) {
      std::fprintf(stderr, "pbmusic: can't write '%s'\n", path.c_str());
      return 1;
    }
    total += bytes.size();
  }
  std::printf("pbmusic: %zu modules, %zu bytes in %s/music\n", pieces.size(), total, gameDir.c_str());
  return 0;
}
