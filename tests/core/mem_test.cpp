#include "core/mem.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "support/testutil.h"

#if defined(__SANITIZE_ADDRESS__)
#define PB_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PB_ASAN 1
#endif
#endif

namespace {

std::string notFoundLine(const char* who, const void* block, int heap, int blocks, int size) {
  char line[256];
  std::snprintf(line, sizeof line, "%s: block %p not found on heap %d (%d blocks, size %d)\n", who, block,
                heap, blocks, size);
  return line;
}

class HeapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    memInit();
  }
  void TearDown() override { memInit(); }
};

// ---------------------------------------------------------------------------
// Heaps
// ---------------------------------------------------------------------------

TEST_F(HeapTest, AccountsLiveBytesAndBlocksPerHeap) {
  void* a = memAlloc(3, 100);
  void* b = memAlloc(3, 28);
  void* c = memAlloc(15, 7);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(memLiveBytes(3), 128);
  EXPECT_EQ(memBlockCount(3), 2);
  EXPECT_EQ(memLiveBytes(15), 7);
  EXPECT_EQ(memLiveBytes(0), 0);

  memFree(3, a);
  EXPECT_EQ(memLiveBytes(3), 28);
  EXPECT_EQ(memBlockCount(3), 1);
  memFree(3, b);
  memFree(15, c);
  EXPECT_EQ(memLiveBytes(3), 0);
  EXPECT_EQ(memBlockCount(3), 0);
  EXPECT_EQ(memLiveBytes(15), 0);
}

TEST_F(HeapTest, InvalidHeapNumbersAreReportedWithTheUpperBound) {
  int object = 0;
  struct Case {
    int heap;
    const char* who;
  };
  for (const Case& c : {Case{16, "memAlloc()"}, Case{-1, "memAlloc()"}, Case{16, "memFree()"},
                        Case{-1, "memAllocCustom()"}, Case{99, "memFreeCustom()"}}) {
    SCOPED_TRACE(std::string(c.who) + " heap " + std::to_string(c.heap));
    StderrCapture cap;
    if (std::strcmp(c.who, "memAlloc()") == 0) {
      EXPECT_EQ(memAlloc(c.heap, 10), nullptr);
    } else if (std::strcmp(c.who, "memFree()") == 0) {
      memFree(c.heap, &object);  // must not touch the pointer
    } else if (std::strcmp(c.who, "memAllocCustom()") == 0) {
      EXPECT_EQ(memAllocCustom(c.heap, 10, &object), &object);
    } else {
      EXPECT_EQ(memFreeCustom(c.heap, &object), &object);
    }
    EXPECT_EQ(cap.finish(), std::string(c.who) + ": invalid heap " + std::to_string(c.heap) + ", not in [0..15]\n");
  }
  EXPECT_EQ(memLiveBytes(16), 0);
  EXPECT_EQ(memBlockCount(-1), 0);
}

TEST_F(HeapTest, DoubleFreeWarnsOnlyTheSecondTime) {
  void* keep = memAlloc(1, 40);
  void* p = memAlloc(1, 24);
  ASSERT_TRUE(keep && p);
  StderrCapture cap;
  memFree(1, p);
  EXPECT_EQ(cap.finish(), "");

  StderrCapture cap2;
  memFree(1, p);
  EXPECT_EQ(cap2.finish(), notFoundLine("memFree()", p, 1, 1, 40));
  EXPECT_EQ(memLiveBytes(1), 40);
  EXPECT_EQ(memBlockCount(1), 1);
  memFree(1, keep);
}

TEST_F(HeapTest, BlockOfAnotherHeapIsNotFoundAndStaysRecordedThere) {
  void* p = memAlloc(2, 16);
  ASSERT_NE(p, nullptr);
  StderrCapture cap;
  memFree(4, p);
  EXPECT_EQ(cap.finish(), notFoundLine("memFree()", p, 4, 0, 0));
  EXPECT_EQ(memLiveBytes(2), 16);
  memFree(2, p);
  EXPECT_EQ(memBlockCount(2), 0);
}

TEST_F(HeapTest, NullBlockIsIgnored) {
  StderrCapture cap;
  memFree(0, nullptr);
  EXPECT_EQ(memFreeCustom(0, nullptr), nullptr);
  EXPECT_EQ(cap.finish(), "");
}

TEST_F(HeapTest, CustomRecordsWrapCreationAndRelease) {
  int surface = 0;
  EXPECT_EQ(memAllocCustom(4, 640 * 480 * 2, &surface), &surface);
  EXPECT_EQ(memAllocCustom(4, 1000, nullptr), nullptr);  // a failed creation records nothing
  EXPECT_EQ(memLiveBytes(4), 640 * 480 * 2);
  EXPECT_EQ(memBlockCount(4), 1);

  // A recorded object is not a block of the heap: memFree must not find it.
  {
    StderrCapture cap;
    memFree(4, &surface);
    EXPECT_EQ(cap.finish(), notFoundLine("memFree()", &surface, 4, 1, 640 * 480 * 2));
  }
  EXPECT_EQ(memFreeCustom(4, &surface), &surface);
  EXPECT_EQ(memLiveBytes(4), 0);
  StderrCapture cap;
  EXPECT_EQ(memFreeCustom(4, &surface), &surface);
  EXPECT_EQ(cap.finish(), notFoundLine("memFreeCustom()", &surface, 4, 0, 0));
}

TEST_F(HeapTest, MuteSilencesNotFoundWarningsAndNests) {
  int stray = 0;
  auto warns = [&] {
    StderrCapture cap;
    memFreeCustom(5, &stray);
    return !cap.finish().empty();
  };

  StderrCapture brackets;
  memMute();
  memMute();
  memUnmute();
  std::string lines = brackets.finish();
  EXPECT_EQ(lines, "memMute {\nmemMute {\nmemMute }\n");
  EXPECT_FALSE(warns()) << "one of two mutes is still active";

  memUnmute();
  EXPECT_TRUE(warns());

  // An extra unmute must not drive the counter below 0: one mute then silences again.
  memUnmute();
  memMute();
  EXPECT_FALSE(warns());
  memUnmute();
  EXPECT_TRUE(warns());
}

TEST_F(HeapTest, MutedDoubleFreeIsSilent) {
  void* p = memAlloc(0, 8);
  memFree(0, p);
  memMute();
  StderrCapture cap;
  memFree(0, p);
  EXPECT_EQ(cap.finish(), "");
  memUnmute();
}

TEST_F(HeapTest, InitClearsRecordsAndTheQuietCounter) {
  void* p = memAlloc(7, 50);
  ASSERT_NE(p, nullptr);
  memMute();
  memInit();
  EXPECT_EQ(memLiveBytes(7), 0);
  EXPECT_EQ(memBlockCount(7), 0);
  int stray = 0;
  StderrCapture cap;
  memFreeCustom(7, &stray);
  EXPECT_FALSE(cap.finish().empty()) << "memInit must reset the quiet counter";
  std::free(p);  // forgotten by the heaps; blocks come from the C heap
}

// ---------------------------------------------------------------------------
// Growable array
// ---------------------------------------------------------------------------

TEST(ArrayTest, HoldsOneLessThanCapacityBeforeGrowing) {
  Array a;
  ASSERT_EQ(arrInit(&a, sizeof(int), 16, 16), 0);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(arrAppend1(&a, &i), 0);
  EXPECT_EQ(a.count, 15);
  EXPECT_EQ(a.capacity, 16);
  int v = 15;
  ASSERT_EQ(arrAppend1(&a, &v), 0);
  EXPECT_EQ(a.capacity, 32);
  EXPECT_EQ(a.initialCapacity, 16);
  for (int i = 0; i < 16; ++i) {
    int* e = static_cast<int*>(arrGet(&a, i));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(*e, i);
  }
  arrFree(&a);
}

TEST(ArrayTest, BulkAppendGrowsByStepsUntilCountStaysBelowCapacity) {
  struct Case {
    int initial, step, before, n, capacity;
  };
  const Case cases[] = {
      {16, 16, 0, 16, 32},  // reaching the capacity exactly grows
      {16, 16, 0, 15, 16},
      {16, 16, 10, 40, 64},
      {4, 3, 0, 10, 13},
      {0, 5, 0, 0, 5},  // an empty array grows even for no elements
      {0, 5, 0, 1, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.initial << "/" << c.step << " +" << c.before << " +" << c.n);
    Array a;
    ASSERT_EQ(arrInit(&a, 2, c.initial, c.step), 0);
    std::vector<short> src(static_cast<size_t>(c.before + c.n) + 1);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<short>(i * 7);
    if (c.before) {
      ASSERT_EQ(arrAppend(&a, src.data(), c.before), 0);
    }
    ASSERT_EQ(arrAppend(&a, src.data() + c.before, c.n), 0);
    EXPECT_EQ(a.capacity, c.capacity);
    EXPECT_EQ(a.count, c.before + c.n);
    for (int i = 0; i < a.count; ++i) EXPECT_EQ(*static_cast<short*>(arrGet(&a, i)), src[static_cast<size_t>(i)]);
    arrFree(&a);
  }
}

TEST(ArrayTest, GetClearAndFree) {
  Array a;
  ASSERT_EQ(arrInit(&a, 8, 4, 4), 0);
  double d[3] = {1.5, 2.5, 3.5};
  ASSERT_EQ(arrAppend(&a, d, 3), 0);
  EXPECT_EQ(arrGet(&a, -1), nullptr);
  EXPECT_EQ(arrGet(&a, 3), nullptr);
  EXPECT_EQ(*static_cast<double*>(arrGet(&a, 2)), 3.5);

  unsigned char* storage = a.data;
  arrClear(&a);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.data, storage);
  EXPECT_EQ(a.capacity, 4);
  EXPECT_EQ(arrGet(&a, 0), nullptr);

  arrFree(&a);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.elementSize, 0);
  EXPECT_EQ(a.capacity, 0);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.growthStep, 0);
  EXPECT_EQ(arrAppend1(&a, d), -1);
}

TEST(ArrayTest, RejectsBadArgumentsAndOverflowingCounts) {
  Array a;
  EXPECT_EQ(arrInit(&a, 0, 4, 4), -1);
  EXPECT_EQ(arrInit(&a, 4, -1, 4), -1);
  EXPECT_EQ(arrInit(&a, 4, 4, 0), -1);  // could never grow

  ASSERT_EQ(arrInit(&a, 1, 16, 16), 0);
  char c = 'x';
  ASSERT_EQ(arrAppend1(&a, &c), 0);
  EXPECT_EQ(arrAppend(&a, &c, -1), -1);
  EXPECT_EQ(arrAppend(&a, &c, INT_MAX), -1);      // count + n overflows
  EXPECT_EQ(arrAppend(&a, &c, INT_MAX - 1), -1);  // capacity would pass INT_MAX
  EXPECT_EQ(arrAppend(&a, nullptr, 1), -1);
  // None of that touched the array.
  EXPECT_EQ(a.count, 1);
  EXPECT_EQ(a.capacity, 16);
  EXPECT_EQ(*static_cast<char*>(arrGet(&a, 0)), 'x');
  ASSERT_EQ(arrAppend1(&a, &c), 0);
  arrFree(&a);
}

TEST(ArrayTest, FailedGrowthFreesStorageAndLaterAppendsFail) {
#ifdef PB_ASAN
  GTEST_SKIP() << "the sanitizer's allocator aborts on impossible requests instead of returning null";
#else
  Array a;
  // 1 MiB elements; the first growth asks for about 2^50 bytes.
  ASSERT_EQ(arrInit(&a, 1 << 20, 1, 1 << 30), 0);
  std::vector<unsigned char> element(1 << 20, 0xAB);
  EXPECT_EQ(arrAppend1(&a, element.data()), -1);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(arrGet(&a, 0), nullptr);
  EXPECT_EQ(arrAppend(&a, element.data(), 0), -1);
  arrFree(&a);
#endif
}

// ---------------------------------------------------------------------------
// Linked list
// ---------------------------------------------------------------------------

std::vector<int> listValues(List* list) {
  std::vector<int> values;
  for (const ListNode* n = list->first; n; n = n->next) values.push_back(*static_cast<const int*>(n->payload));
  // Walk backwards as well: prev links must mirror next links.
  std::vector<int> backwards;
  for (const ListNode* n = list->last; n; n = n->prev) backwards.insert(backwards.begin(), *static_cast<const int*>(n->payload));
  EXPECT_EQ(values, backwards);
  return values;
}

TEST(ListTest, PushCopiesThePayloadAndSetsOnlyANullCursor) {
  List list{};
  int v = 2;
  ListNode* two = listPushBack(&list, &v, sizeof v);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(list.cursor, two);
  v = 3;
  listPushBack(&list, &v, sizeof v);
  v = 1;
  listPushFront(&list, &v, sizeof v);
  v = 99;  // the nodes hold their own copies
  EXPECT_EQ(listValues(&list), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list.cursor, two);
  EXPECT_EQ(two->size, sizeof(int));
  EXPECT_EQ(listCount(&list), 3);
  listFree(&list);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  EXPECT_EQ(list.cursor, nullptr);
  EXPECT_EQ(listCount(&list), 0);

  // Front push into an empty list sets the cursor too.
  ListNode* front = listPushFront(&list, &v, sizeof v);
  EXPECT_EQ(list.cursor, front);
  EXPECT_EQ(list.first, front);
  EXPECT_EQ(list.last, front);
  listFree(&list);
}

TEST(ListTest, CursorWalksAndStopsAtTheEnd) {
  List list{};
  for (int i = 0; i < 3; ++i) listPushBack(&list, &i, sizeof i);
  list.cursorFlag = 1;
  listRewind(&list);
  EXPECT_EQ(list.cursor, list.first);
  EXPECT_EQ(list.cursorFlag, 0);
  list.cursorFlag = 1;
  ListNode* n = listNext(&list);
  EXPECT_EQ(n, list.first->next);
  EXPECT_EQ(list.cursorFlag, 0);
  EXPECT_EQ(listNext(&list), list.last);
  EXPECT_EQ(listNext(&list), nullptr);
  EXPECT_EQ(listNext(&list), nullptr);
  listFree(&list);
}

TEST(ListTest, RemoveCurrentMovesToTheFollowingNode) {
  List list{};
  for (int i = 0; i < 4; ++i) listPushBack(&list, &i, sizeof i);
  listRewind(&list);
  listNext(&list);  // at 1
  ASSERT_EQ(listRemoveCurrent(&list), 0);
  EXPECT_EQ(*static_cast<int*>(list.cursor->payload), 2);
  EXPECT_EQ(listValues(&list), (std::vector<int>{0, 2, 3}));

  listRewind(&list);  // remove the first node
  ASSERT_EQ(listRemoveCurrent(&list), 0);
  EXPECT_EQ(list.cursor, list.first);
  EXPECT_EQ(listValues(&list), (std::vector<int>{2, 3}));

  listNext(&list);  // remove the last node: the cursor falls off the end
  ASSERT_EQ(listRemoveCurrent(&list), 0);
  EXPECT_EQ(list.cursor, nullptr);
  EXPECT_EQ(listValues(&list), (std::vector<int>{2}));
  EXPECT_EQ(listRemoveCurrent(&list), -1);

  listRewind(&list);  // remove the only node
  ASSERT_EQ(listRemoveCurrent(&list), 0);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  EXPECT_EQ(list.cursor, nullptr);
  EXPECT_EQ(listCount(&list), 0);
  EXPECT_EQ(listRemoveCurrent(&list), -1);

  // The emptied list is usable again.
  int v = 7;
  EXPECT_EQ(listPushBack(&list, &v, sizeof v), list.cursor);
  listFree(&list);
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

TEST(ListFilesTest, SortedBareNamesInOneAllocation) {
  TempDir dir;
  const char* files[] = {"b", "B", "a", "A", "_x", "\xC0zz", "skip.txt"};
  for (const char* f : files) writeFile(dir.file(f), "1");

  char** names = nullptr;
  int n = LIST_FILES((dir.path + "/*").c_str(), &names);
  ASSERT_EQ(n, 7);
  ASSERT_NE(names, nullptr);
  std::vector<std::string> got(names, names + n);
  // Unsigned byte order: capitals, '_', small letters, then bytes above 127.
  EXPECT_EQ(got, (std::vector<std::string>{"A", "B", "_x", "a", "b", "skip.txt", "\xC0zz"}));
  // The names live in the same block, right after the pointer array.
  const char* textStart = reinterpret_cast<const char*>(names + n);
  for (int i = 0; i < n; ++i) EXPECT_GE(names[i], textStart);
  std::free(names);  // one free releases everything (the leak checker confirms)
}

TEST(ListFilesTest, RelativePatternWithWildcards) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("ltime"));
  writeFile(dir.file("ltime/load.2"), "");
  writeFile(dir.file("ltime/load.10"), "");
  writeFile(dir.file("ltime/other"), "");
  ScopedChdir cd(dir.path);
  char** names = nullptr;
  ASSERT_EQ(LIST_FILES("ltime/load.*", &names), 2);
  EXPECT_STREQ(names[0], "load.10");
  EXPECT_STREQ(names[1], "load.2");
  std::free(names);
}

TEST(ListFilesTest, NoMatchAndMissingDirectoryGiveZeroAndNull) {
  TempDir dir;
  writeFile(dir.file("a.conf"), "");
  for (const std::string& pattern : {dir.path + "/*.bcf", dir.path + "/missing/*"}) {
    SCOPED_TRACE(pattern);
    char** names = reinterpret_cast<char**>(&dir);  // must be overwritten
    EXPECT_EQ(LIST_FILES(pattern.c_str(), &names), 0);
    EXPECT_EQ(names, nullptr);
  }
}

TEST(FileExistsTest, OnlyReadableFiles) {
  TempDir dir;
  writeFile(dir.file("here"), "x");
  EXPECT_TRUE(fileExists(dir.file("here").c_str()));
  EXPECT_FALSE(fileExists(dir.file("gone").c_str()));
  EXPECT_FALSE(fileExists(dir.path.c_str()));
}

}  // namespace
