#include "platform/sys/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/testutil.h"

namespace {

// Sets (or, with null, removes) environment variables for the test's life.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVars) {
      const char* v = std::getenv(name);
      saved.push_back(v ? std::optional<std::string>(v) : std::nullopt);
    }
    setenv("QEL_DATA_DIR", dir.path.c_str(), 1);
  }
  void TearDown() override {
    regSetFailBeforeRename(false);
    for (size_t i = 0; i < std::size(kVars); i++) {
      if (saved[i])
        setenv(kVars[i], saved[i]->c_str(), 1);
      else
        unsetenv(kVars[i]);
    }
  }
  static void env(const char* name, const char* value) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  static constexpr const char* kVars[] = {"QEL_DATA_DIR", "XDG_DATA_HOME", "HOME"};
  std::vector<std::optional<std::string>> saved;
  TempDir dir;
  RegKey key{};
  RegError err{};
};

// A key with a text of every byte value 0x01..0xFF and a number.
void fillSample(RegKey* key) {
  regClear(key);
  std::string bytes;
  for (int b = 1; b < 256; b++) bytes.push_back(static_cast<char>(b));
  ASSERT_TRUE(regSetSz(key, "name0", bytes.data(), bytes.size(), nullptr));
  ASSERT_TRUE(regSetDword(key, "score0", 0xFEDCBA98u, nullptr));
}

TEST_F(RegistryTest, ValuesKeepTheirBytesAndTypesThroughTheFile) {
  fillSample(&key);
  const char kCyrillic[] = "\xC8\xE3\xF0\xEE\xEA\xFF";  // "Игрок" and 'я' in Windows-1251
  ASSERT_TRUE(regSetSz(&key, "name1", kCyrillic, 6, &err));
  ASSERT_TRUE(regSetSz(&key, "empty", "", 0, &err));
  std::string path = regKeyPath("hall-of-fame");
  EXPECT_EQ(path, dir.path + "/hall-of-fame.reg");
  ASSERT_TRUE(regSave(&key, path.c_str(), &err)) << err.text;

  RegKey back{};
  ASSERT_TRUE(regLoad(&back, path.c_str(), &err)) << err.text;
  char text[300];
  size_t len = 0;
  ASSERT_TRUE(regGetSz(&back, "name0", text, sizeof text, &len, &err));
  ASSERT_EQ(len, 255u);
  for (int b = 1; b < 256; b++) EXPECT_EQ(static_cast<uint8_t>(text[b - 1]), b);
  ASSERT_TRUE(regGetSz(&back, "name1", text, sizeof text, &len, &err));
  EXPECT_EQ(std::string(text, len), std::string(kCyrillic, 6));
  ASSERT_TRUE(regGetSz(&back, "empty", text, sizeof text, &len, &err));
  EXPECT_EQ(len, 0u);
  uint32_t v = 0;
  ASSERT_TRUE(regGetDword(&back, "score0", &v, &err));
  EXPECT_EQ(v, 0xFEDCBA98u);

  // Wrong type or name: not found; a buffer one byte short of the NUL: too long.
  EXPECT_FALSE(regGetDword(&back, "name0", &v, &err));
  EXPECT_EQ(err.code, REG_ERR_NOT_FOUND);
  EXPECT_FALSE(regGetSz(&back, "score0", text, sizeof text, &len, &err));
  EXPECT_FALSE(regGetSz(&back, "Name0", text, sizeof text, &len, &err));
  EXPECT_EQ(err.code, REG_ERR_NOT_FOUND);
  EXPECT_FALSE(regGetSz(&back, "name1", text, 6, &len, &err));
  EXPECT_EQ(err.code, REG_ERR_TOO_LONG);
  EXPECT_TRUE(regGetSz(&back, "name1", text, 7, &len, &err));
}

TEST_F(RegistryTest, SettingReplacesAndTheLimitsHold) {
  regClear(&key);
  ASSERT_TRUE(regSetDword(&key, "a", 1, &err));
  ASSERT_TRUE(regSetSz(&key, "a", "xy", 2, &err));  // same name: replaced, type and all
  EXPECT_EQ(key.count, 1);
  uint32_t v;
  EXPECT_FALSE(regGetDword(&key, "a", &v, &err));

  std::string big(REG_MAX_DATA + 1, 'q');
  EXPECT_TRUE(regSetSz(&key, "b", big.data(), REG_MAX_DATA, &err));
  EXPECT_FALSE(regSetSz(&key, "c", big.data(), REG_MAX_DATA + 1, &err));
  EXPECT_EQ(err.code, REG_ERR_TOO_LONG);
  EXPECT_TRUE(regSetDword(&key, std::string(REG_MAX_NAME, 'n').c_str(), 1, &err));
  EXPECT_FALSE(regSetDword(&key, std::string(REG_MAX_NAME + 1, 'n').c_str(), 1, &err));
  EXPECT_FALSE(regSetDword(&key, "", 1, &err));

  regClear(&key);
  for (int i = 0; i < REG_MAX_VALUES; i++) ASSERT_TRUE(regSetDword(&key, std::to_string(i).c_str(), i, &err));
  EXPECT_FALSE(regSetDword(&key, "one more", 1, &err));
  EXPECT_EQ(err.code, REG_ERR_NO_SLOTS);
  EXPECT_TRUE(regSetDword(&key, "7", 70, &err));  // replacing needs no new slot
}

TEST_F(RegistryTest, DamagedFilesLoadAsMissing) {
  fillSample(&key);
  const std::string good = regImage(&key);
  ASSERT_FALSE(good.empty());
  ASSERT_TRUE(regParse(&key, reinterpret_cast<const uint8_t*>(good.data()), good.size(), &err));

  auto patched = [&](size_t at, uint8_t byte) {
    std::string s = good;
    s[at] = static_cast<char>(byte);
    return s;
  };
  // The first value starts at 12: type, name length 5, "name0", data length 255.
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"signature", patched(0, 'X')},
      {"version", patched(8, 2)},
      {"count above the limit", patched(10, REG_MAX_VALUES + 1)},
      {"count above the values", patched(10, 3)},
      {"type", patched(12, 3)},
      {"name length 0", patched(13, 0)},
      {"name length above the limit", patched(13, REG_MAX_NAME + 1)},
      {"NUL in a name", patched(14, 0)},
      {"text longer than allowed", patched(19, 0xFF) .replace(20, 1, 1, '\xFF')},
      {"number of 3 bytes", patched(12 + 2 + 5 + 2 + 255 + 2 + 6, 3)},
      {"a name twice", [] {
         RegKey two{};
         regSetDword(&two, "aa", 1, nullptr);
         regSetDword(&two, "ab", 2, nullptr);
         std::string s = regImage(&two);
         s[12 + 2 + 2 + 2 + 4 + 2 + 1] = 'a';  // "ab" -> "aa"
         return s;
       }()},
      {"truncated", good.substr(0, good.size() - 1)},
      {"trailing byte", good + '\0'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegKey parsed{};
    regSetDword(&parsed, "stale", 1, nullptr);
    err = {};
    EXPECT_FALSE(regParse(&parsed, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &err));
    EXPECT_EQ(err.code, REG_ERR_DAMAGED);
    EXPECT_EQ(parsed.count, 0);  // nothing half-read stays

    // The same through a file: a failed load, with the path in the message.
    std::string path = dir.file("bad.reg");
    writeFile(path, c.bytes);
    RegKey loaded{};
    EXPECT_FALSE(regLoad(&loaded, path.c_str(), &err));
    EXPECT_EQ(loaded.count, 0);
    EXPECT_NE(std::strstr(err.text, "bad.reg"), nullptr) << err.text;
  }
}

TEST_F(RegistryTest, MissingOversizedAndOddFilesFailCleanly) {
  std::string missing = dir.file("none.reg");
  EXPECT_FALSE(regLoad(&key, missing.c_str(), &err));
  EXPECT_EQ(err.code, ENOENT);
  EXPECT_NE(std::strstr(err.text, "none.reg"), nullptr);

  // A file larger than any key can be is refused without reading it.
  std::string huge = dir.file("huge.reg");
  writeFile(huge, std::string(2 * 1024 * 1024, 'Q'));
  EXPECT_FALSE(regLoad(&key, huge.c_str(), &err));
  EXPECT_EQ(err.code, REG_ERR_DAMAGED);

  // The largest well-formed key still loads.
  regClear(&key);
  std::string data(REG_MAX_DATA, '\xEE');
  for (int i = 0; i < REG_MAX_VALUES; i++) {
    std::string name = std::string(REG_MAX_NAME - 2, 'v') + std::to_string(10 + i);
    ASSERT_TRUE(regSetSz(&key, name.c_str(), data.data(), data.size(), &err));
  }
  std::string full = dir.file("full.reg");
  ASSERT_TRUE(regSave(&key, full.c_str(), &err)) << err.text;
  RegKey back{};
  EXPECT_TRUE(regLoad(&back, full.c_str(), &err)) << err.text;
  EXPECT_EQ(back.count, REG_MAX_VALUES);

  EXPECT_FALSE(regLoad(&key, dir.path.c_str(), &err));  // a folder
}

TEST_F(RegistryTest, AnInterruptedSaveLeavesTheOldKeyLoadable) {
  std::string path = regKeyPath("hall-of-fame");
  regClear(&key);
  ASSERT_TRUE(regSetDword(&key, "score0", 111, &err));
  ASSERT_TRUE(regSave(&key, path.c_str(), &err)) << err.text;
  const std::string before = readFile(path);

  ASSERT_TRUE(regSetDword(&key, "score0", 222, &err));
  regSetFailBeforeRename(true);
  EXPECT_FALSE(regSave(&key, path.c_str(), &err));
  regSetFailBeforeRename(false);

  // The crash left a temporary file beside the key; the key is as it was.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) names.push_back(entry.path().filename());
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(readFile(path), before);
  RegKey back{};
  ASSERT_TRUE(regLoad(&back, path.c_str(), &err)) << err.text;
  uint32_t v = 0;
  ASSERT_TRUE(regGetDword(&back, "score0", &v, &err));
  EXPECT_EQ(v, 111u);

  // The next save goes through and replaces it.
  ASSERT_TRUE(regSave(&key, path.c_str(), &err)) << err.text;
  ASSERT_TRUE(regLoad(&back, path.c_str(), &err));
  ASSERT_TRUE(regGetDword(&back, "score0", &v, &err));
  EXPECT_EQ(v, 222u);
}

TEST_F(RegistryTest, SavingCreatesTheFolderOrFails) {
  std::string nested = dir.path + "/a/b/qel/key.reg";
  regClear(&key);
  ASSERT_TRUE(regSave(&key, nested.c_str(), &err)) << err.text;
  EXPECT_TRUE(regLoad(&key, nested.c_str(), &err));

  writeFile(dir.file("plain"), "x");  // a file where a folder should be
  std::string blocked = dir.path + "/plain/qel/key.reg";
  EXPECT_FALSE(regSave(&key, blocked.c_str(), &err));
  EXPECT_NE(err.code, 0);
}

TEST_F(RegistryTest, TheFolderFollowsTheEnvironment) {
  const struct {
    const char* own;
    const char* xdg;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/data/q", "/x", "/h", "/data/q"},
      {"/data/q/", nullptr, nullptr, "/data/q"},
      {"", "/x", "/h", "/x/qel"},
      {nullptr, "/x", "/h", "/x/qel"},
      {nullptr, "", "/h", "/h/.local/share/qel"},
      {nullptr, nullptr, "/h", "/h/.local/share/qel"},
      {nullptr, nullptr, nullptr, ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.own ? c.own : "-") + " " + (c.xdg ? c.xdg : "-") + " " + (c.home ? c.home : "-"));
    env("QEL_DATA_DIR", c.own);
    env("XDG_DATA_HOME", c.xdg);
    env("HOME", c.home);
    EXPECT_EQ(regDataDir(), c.folder);
    EXPECT_EQ(regKeyPath("k"), *c.folder ? std::string(c.folder) + "/k.reg" : "");
  }
}

}  // namespace
