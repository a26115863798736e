#include "core/mem.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/sys/sys.h"

// ---------------------------------------------------------------------------
// Accounting heaps
// ---------------------------------------------------------------------------

namespace {

// One live allocation known to a heap. Blocks allocated by memAlloc carry
// `block`; objects created elsewhere and only recorded carry `object`.
struct BlockRecord {
  size_t size;
  void* block;
  void* object;
};

struct Heap {
  int32_t liveBytes;
  BlockRecord* records;  // plain list, searched linearly; heaps track few blocks
  int count;
  int capacity;
};

Heap gHeaps[MEM_HEAPS];
int gQuiet;  // "not found" warnings are suppressed while above 0

bool heapValid(int heap) { return heap >= 0 && heap < MEM_HEAPS; }

int badHeap(const char* who, int heap) {
  return logError(0, "%s: invalid heap %d, not in [0..%d]", who, heap, MEM_HEAPS - 1);
}

// Live bytes are a signed 32-bit count; wrap instead of overflowing.
int32_t addBytes(int32_t live, size_t size, bool subtract) {
  uint32_t u = static_cast<uint32_t>(live);
  uint32_t s = static_cast<uint32_t>(size);
  u = subtract ? u - s : u + s;
  return static_cast<int32_t>(u);
}

bool addRecord(Heap* h, size_t size, void* block, void* object) {
  if (h->count == h->capacity) {
    if (h->capacity > INT_MAX / 2 - 8) return false;
    int capacity = h->capacity ? h->capacity * 2 : 16;
    void* grown = std::realloc(h->records, static_cast<size_t>(capacity) * sizeof(BlockRecord));
    if (!grown) return false;
    h->records = static_cast<BlockRecord*>(grown);
    h->capacity = capacity;
  }
  h->records[h->count++] = BlockRecord{size, block, object};
  h->liveBytes = addBytes(h->liveBytes, size, false);
  return true;
}

// Removes the record whose block (or object) is ptr; false when there is none.
bool removeRecord(Heap* h, const void* ptr, bool byObject) {
  for (int i = 0; i < h->count; ++i) {
    const BlockRecord& r = h->records[i];
    if ((byObject ? r.object : r.block) != ptr) continue;
    h->liveBytes = addBytes(h->liveBytes, r.size, true);
    std::memmove(h->records + i, h->records + i + 1,
                 static_cast<size_t>(h->count - i - 1) * sizeof(BlockRecord));
    --h->count;
    return true;
  }
  return false;
}

void notFound(const char* who, const void* ptr, int heap) {
  if (gQuiet > 0) return;
  const Heap& h = gHeaps[heap];
  logPrint("%s: block %p not found on heap %d (%d blocks, size %d)", who, ptr, heap, h.count,
           static_cast<int>(h.liveBytes));
}

}  // namespace

void memInit() {
  for (Heap& h : gHeaps) {
    std::free(h.records);
    h = Heap{};
  }
  gQuiet = 0;
}

void* memAlloc(int heap, size_t size) {
  if (!heapValid(heap)) {
    badHeap("memAlloc()", heap);
    return nullptr;
  }
  // A zero-byte request still gets a distinct block, so it can be recorded.
  void* block = std::malloc(size ? size : 1);
  if (!block) return nullptr;
  if (!addRecord(&gHeaps[heap], size, block, nullptr)) {
    std::free(block);
    return nullptr;
  }
  return block;
}

void memFree(int heap, void* block) {
  if (!heapValid(heap)) {
    badHeap("memFree()", heap);
    return;
  }
  if (!block) return;
  // Only blocks this heap knows are released: an unknown pointer is either a
  // double free or a block of another heap, and handing it to free() would
  // corrupt the C heap instead of merely being reported.
  if (removeRecord(&gHeaps[heap], block, false)) {
    std::free(block);
    return;
  }
  notFound("memFree()", block, heap);
}

void* memAllocCustom(int heap, size_t size, void* object) {
  if (!heapValid(heap)) {
    badHeap("memAllocCustom()", heap);
    return object;
  }
  if (object) addRecord(&gHeaps[heap], size, nullptr, object);
  return object;
}

void* memFreeCustom(int heap, void* object) {
  if (!heapValid(heap)) {
    badHeap("memFreeCustom()", heap);
    return object;
  }
  if (object && !removeRecord(&gHeaps[heap], object, true)) notFound("memFreeCustom()", object, heap);
  return object;
}

void memMute() {
  ++gQuiet;
  logPrint("memMute {");
}

void memUnmute() {
  if (gQuiet > 0) --gQuiet;
  logPrint("memMute }");
}

int memLiveBytes(int heap) { return heapValid(heap) ? static_cast<int>(gHeaps[heap].liveBytes) : 0; }

int memBlockCount(int heap) { return heapValid(heap) ? gHeaps[heap].count : 0; }

// ---------------------------------------------------------------------------
// Growable array
// ---------------------------------------------------------------------------

namespace {

// Bytes for n elements of size elementSize, or false when it can't be
// represented (the array's counts are ints, its storage a single block).
bool storageBytes(int64_t n, int elementSize, size_t* bytes) {
  if (n < 0 || elementSize <= 0) return false;
  if (static_cast<uint64_t>(n) > static_cast<uint64_t>(PTRDIFF_MAX) / static_cast<uint64_t>(elementSize))
    return false;
  *bytes = static_cast<size_t>(n) * static_cast<size_t>(elementSize);
  return true;
}

}  // namespace

int arrInit(Array* array, int elementSize, int initialCapacity, int growthStep) {
  if (!array) return -1;
  *array = Array{};
  size_t bytes = 0;
  if (elementSize <= 0 || initialCapacity < 0 || growthStep <= 0 ||
      !storageBytes(initialCapacity, elementSize, &bytes))
    return -1;
  // Live storage is never null: a null data pointer marks a dead array.
  void* data = std::malloc(bytes ? bytes : 1);
  if (!data) return -1;
  array->data = static_cast<unsigned char*>(data);
  array->elementSize = elementSize;
  array->initialCapacity = initialCapacity;
  array->capacity = initialCapacity;
  array->growthStep = growthStep;
  return 0;
}

int arrAppend(Array* array, const void* source, int n) {
  if (!array || !array->data || n < 0 || (n > 0 && !source)) return -1;
  const int64_t needed = static_cast<int64_t>(array->count) + n;  // must stay below capacity
  if (needed >= array->capacity) {
    const int64_t step = array->growthStep;
    const int64_t steps = (needed - array->capacity) / step + 1;
    const int64_t capacity = array->capacity + steps * step;
    size_t bytes = 0;
    if (capacity > INT_MAX || !storageBytes(capacity, array->elementSize, &bytes)) return -1;
    void* grown = std::realloc(array->data, bytes);
    if (!grown) {
      // The array is dead from here on; every later append fails.
      std::free(array->data);
      array->data = nullptr;
      array->capacity = 0;
      array->count = 0;
      return -1;
    }
    array->data = static_cast<unsigned char*>(grown);
    array->capacity = static_cast<int>(capacity);
  }
  if (n > 0) {
    const size_t at = static_cast<size_t>(array->count) * static_cast<size_t>(array->elementSize);
    std::memcpy(array->data + at, source, static_cast<size_t>(n) * static_cast<size_t>(array->elementSize));
  }
  array->count = static_cast<int>(needed);
  return 0;
}

int arrAppend1(Array* array, const void* source) { return arrAppend(array, source, 1); }

void* arrGet(Array* array, int index) {
  if (!array || !array->data || index < 0 || index >= array->count) return nullptr;
  return array->data + static_cast<size_t>(index) * static_cast<size_t>(array->elementSize);
}

void arrClear(Array* array) {
  if (array) array->count = 0;
}

void arrFree(Array* array) {
  if (!array) return;
  std::free(array->data);
  *array = Array{};
}

// ---------------------------------------------------------------------------
// Linked list with cursor
// ---------------------------------------------------------------------------

namespace {

ListNode* newNode(const void* source, size_t size) {
  if (size > 0 && !source) return nullptr;
  auto* node = static_cast<ListNode*>(std::malloc(sizeof(ListNode)));
  if (!node) return nullptr;
  void* payload = std::malloc(size ? size : 1);
  if (!payload) {
    std::free(node);
    return nullptr;
  }
  if (size > 0) std::memcpy(payload, source, size);
  *node = ListNode{nullptr, nullptr, size, payload};
  return node;
}

}  // namespace

void listFree(List* list) {
  if (!list) return;
  ListNode* node = list->first;
  while (node) {
    ListNode* next = node->next;
    std::free(node->payload);
    std::free(node);
    node = next;
  }
  *list = List{};
}

ListNode* listPushBack(List* list, const void* source, size_t size) {
  if (!list) return nullptr;
  ListNode* node = newNode(source, size);
  if (!node) return nullptr;
  node->prev = list->last;
  if (list->last)
    list->last->next = node;
  else
    list->first = node;
  list->last = node;
  if (!list->cursor) list->cursor = node;
  return node;
}

ListNode* listPushFront(List* list, const void* source, size_t size) {
  if (!list) return nullptr;
  ListNode* node = newNode(source, size);
  if (!node) return nullptr;
  node->next = list->first;
  if (list->first)
    list->first->prev = node;
  else
    list->last = node;
  list->first = node;
  if (!list->cursor) list->cursor = node;
  return node;
}

void listRewind(List* list) {
  list->cursor = list->first;
  list->cursorFlag = 0;
}

ListNode* listNext(List* list) {
  if (list->cursor) list->cursor = list->cursor->next;
  list->cursorFlag = 0;
  return list->cursor;
}

int listCount(const List* list) {
  int n = 0;
  for (const ListNode* node = list->first; node; node = node->next) ++n;
  return n;
}

int listRemoveCurrent(List* list) {
  ListNode* node = list->cursor;
  if (!node) return -1;
  if (node->prev)
    node->prev->next = node->next;
  else
    list->first = node->next;
  if (node->next)
    node->next->prev = node->prev;
  else
    list->last = node->prev;
  list->cursor = node->next;
  list->cursorFlag = 0;
  std::free(node->payload);
  std::free(node);
  return 0;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

int LIST_FILES(const char* pattern, char*** names) {
  if (!names) return -1;
  *names = nullptr;
  if (!pattern) return 0;

  std::vector<std::string> found;
  try {
    // A directory that can't be read simply has no matching entries.
    if (!sysListMatches(pattern, &found)) return 0;
  } catch (const std::bad_alloc&) {
    return logError(-1, "%s: can't create buffers (%d bytes)", "LIST_FILES()", 0);
  }
  if (found.empty()) return 0;
  if (found.size() > static_cast<size_t>(INT_MAX) / sizeof(char*))
    return logError(-1, "%s: not enough memory for output array (%d bytes)", "LIST_FILES()", INT_MAX);
  const int count = static_cast<int>(found.size());

  // Sort an index of the names rather than the strings themselves.
  const size_t indexBytes = found.size() * sizeof(const std::string*);
  auto** order = static_cast<const std::string**>(std::malloc(indexBytes));
  if (!order)
    return logError(-1, "%s: can't create buffers (%d bytes)", "LIST_FILES()", static_cast<int>(indexBytes));
  for (int i = 0; i < count; ++i) order[i] = &found[static_cast<size_t>(i)];
  // strcmp compares as unsigned bytes: capitals sort before small letters and
  // bytes above 127 after all ASCII.
  std::sort(order, order + count,
            [](const std::string* a, const std::string* b) { return std::strcmp(a->c_str(), b->c_str()) < 0; });

  // One block: the pointer array, then the names it points into.
  size_t total = found.size() * sizeof(char*);
  for (const std::string& name : found) {
    if (name.size() + 1 > static_cast<size_t>(INT_MAX) - total) {
      std::free(order);
      return logError(-1, "%s: not enough memory for output array (%d bytes)", "LIST_FILES()", INT_MAX);
    }
    total += name.size() + 1;
  }
  auto* block = static_cast<char*>(std::malloc(total));
  if (!block) {
    std::free(order);
    return logError(-1, "%s: not enough memory for output array (%d bytes)", "LIST_FILES()",
                    static_cast<int>(total));
  }
  auto** array = reinterpret_cast<char**>(block);
  char* text = block + found.size() * sizeof(char*);
  for (int i = 0; i < count; ++i) {
    const std::string& name = *order[i];
    std::memcpy(text, name.c_str(), name.size() + 1);
    array[i] = text;
    text += name.size() + 1;
  }
  std::free(order);
  *names = array;
  return count;
}

bool fileExists(const char* path) {
  if (!path) return false;
  // A directory opens on this system but is not a file one could read.
  int fd = sysOpen(path, SYS_OPEN_READ);
  if (fd < 0) return false;
  sysClose(fd);
  return sysIsFile(path);
}
