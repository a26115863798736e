#pragma once
// A private game folder for tests that run the real game on the built data:
// the game's program copied (it runs from its own folder) unless the test
// runs the game in its own process, everything else linked from the built
// one, so that the run's log, records and pictures stay in the test's folder.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/testutil.h"

inline void makeGameCopy(const std::string& to, bool copyProgram = true) {
  const std::string from = PB_GAME_DIR;
  DIR* d = opendir(from.c_str());
  ASSERT_NE(d, nullptr);
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || name[0] == '#') continue;
    if (name == "pinball" && copyProgram)
      copyFile(from + "/" + name, to + "/" + name);
    else
      ASSERT_EQ(symlink((from + "/" + name).c_str(), (to + "/" + name).c_str()), 0) << name;
  }
  closedir(d);
}
