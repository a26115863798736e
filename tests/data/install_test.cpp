// The game as it installs: `cmake --install` of the build tree into an
// empty prefix gives the game folder, the starter, the desktop entry, the
// icons and the AppStream metainfo; the starter runs the game from another
// folder, and the desktop's validators accept the entry and the metainfo.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/testutil.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(Install, ThePrefixHoldsAGameThatStartsFromAnywhere) {
  TempDir prefix, elsewhere;
  ASSERT_EQ(shell("cmake --install '" + std::string(PB_BUILD_DIR) + "' --prefix '" + prefix.path + "' > '" +
                  elsewhere.file("install.log") + "' 2>&1"),
            0)
      << readFile(elsewhere.file("install.log"));
  for (const char* file : {"bin/qel", "lib/qel/pinball", "lib/qel/launcher", "lib/qel/conf/global.conf",
                           "share/applications/org.qel.Qel.desktop", "share/metainfo/org.qel.Qel.metainfo.xml",
                           "share/icons/hicolor/scalable/apps/org.qel.Qel.svg",
                           "share/icons/hicolor/16x16/apps/org.qel.Qel.png",
                           "share/icons/hicolor/48x48/apps/org.qel.Qel.png",
                           "share/icons/hicolor/256x256/apps/org.qel.Qel.png"})
    EXPECT_TRUE(pathExists(prefix.file(file))) << file;
  // Nothing the build's own runs left in the game folder goes along.
  EXPECT_FALSE(pathExists(prefix.file("lib/qel/#report.txt")));

  RunResult run = runProgram(prefix.file("bin/qel"), {"/nomenu", "/w", "/nosnd", "/turbo", "/frames", "30", "/log"},
                             elsewhere.path);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string log = readFile(prefix.file("lib/qel/#report.txt"));
  EXPECT_TRUE(has(log, "\nGAME EXITS SUCCESSFULLY\n")) << log.substr(0, 2000);

  // The validators of desktop entries and AppStream metainfo (Debian:
  // desktop-file-utils, appstream-util; scripts/deps.sh installs them).
  EXPECT_EQ(shell("desktop-file-validate '" + prefix.file("share/applications/org.qel.Qel.desktop") + "'"), 0);
  EXPECT_EQ(shell("appstream-util validate-relax --nonet '" + prefix.file("share/metainfo/org.qel.Qel.metainfo.xml") +
                  "' > /dev/null"),
            0);
}

}  // namespace
