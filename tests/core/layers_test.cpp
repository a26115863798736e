// The source folders depend on each other one way: the graph of
// `#include "folder/..."` lines between src/ folders (each folder and each
// subfolder one node) has no cycle, and only the platform layer names SDL or
// libopenmpt. A new include that closes a cycle fails here with the cycle.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Graph = std::map<std::string, std::set<std::string>>;

const fs::path kSrc = fs::path(PB_SOURCE_DIR) / "src";

bool isSource(const fs::path& p) { return p.extension() == ".cpp" || p.extension() == ".h"; }

// Folder of a file relative to src/ ("physics/objects").
std::string folderOf(const fs::path& file) { return fs::relative(file.parent_path(), kSrc).generic_string(); }

Graph includeGraph(std::vector<std::string>* systemIncludes) {
  Graph g;
  const std::regex local(R"re(^\s*#\s*include\s*"([^"]+)/[^/"]+")re");
  const std::regex system(R"re(^\s*#\s*include\s*<(SDL|libopenmpt)[^>]*>)re");
  for (const auto& entry : fs::recursive_directory_iterator(kSrc)) {
    if (!entry.is_regular_file() || !isSource(entry.path())) continue;
    const std::string from = folderOf(entry.path());
    g[from];
    std::ifstream in(entry.path());
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, local) && m[1] != from) g[from].insert(m[1]);
      if (std::regex_search(line, m, system)) systemIncludes->push_back(folderOf(entry.path()));
    }
  }
  return g;
}

// A cycle as "a -> b -> a", or empty when there is none.
std::string findCycle(const Graph& g) {
  std::map<std::string, int> state;  // 1 on the path, 2 done
  std::vector<std::string> path;
  std::string cycle;
  std::function<bool(const std::string&)> visit = [&](const std::string& n) {
    state[n] = 1;
    path.push_back(n);
    auto it = g.find(n);
    if (it != g.end())
      for (const std::string& next : it->second) {
        if (state[next] == 1) {
          bool on = false;
          for (const std::string& p : path) {
            if (p == next) on = true;
            if (on) cycle += p + " -> ";
          }
          cycle += next;
          return true;
        }
        if (state[next] == 0 && visit(next)) return true;
      }
    path.pop_back();
    state[n] = 2;
    return false;
  };
  for (const auto& [n, edges] : g)
    if (state[n] == 0 && visit(n)) break;
  return cycle;
}

TEST(Layers, CycleFinderSeesACycleAndNoneWhereThereIsNone) {
  EXPECT_EQ(findCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {}}}), "");
  EXPECT_EQ(findCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}}), "a -> b -> c -> a");
}

TEST(Layers, SourceFoldersIncludeOneWayAndOnlyThePlatformNamesSdl) {
  std::vector<std::string> sdlUsers;
  const Graph g = includeGraph(&sdlUsers);
  ASSERT_TRUE(g.count("physics") && g.count("physics/objects") && g.count("platform/sys")) << "src/ not found";
  EXPECT_EQ(findCycle(g), "");
  for (const std::string& folder : sdlUsers) EXPECT_EQ(folder, "platform");
  // The layers below everything else.
  for (const char* low : {"core", "platform/sys"})
    for (const std::string& to : g.at(low)) EXPECT_TRUE(to == "core" || to == "platform/sys") << low << " includes " << to;
}

// The board core is built and tested without SDL: its files include core
// and each other only.
TEST(Layers, TheBoardCoreIncludesOnlyCoreAndItself) {
  const std::set<std::string> core = {"board", "broadphase", "geometry", "geometry_maps", "track", "cond", "opr"};
  const std::regex local(R"re(^\s*#\s*include\s*"([^"]+)")re");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kSrc / "physics")) {
    if (!isSource(entry.path()) || !core.count(entry.path().stem().string())) continue;
    files++;
    std::ifstream in(entry.path());
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
      if (!std::regex_search(line, m, local)) continue;
      const fs::path inc(m[1].str());
      const std::string folder = inc.parent_path().generic_string();
      EXPECT_TRUE(folder == "core" || (folder == "physics" && core.count(inc.stem().string())))
          << entry.path().filename() << " includes " << inc;
    }
  }
  EXPECT_GE(files, 10);
}

}  // namespace
