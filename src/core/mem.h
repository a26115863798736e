#pragma once
// Accounting heaps, growable arrays, linked lists and directory listings.
#include <cstddef>

enum { MEM_HEAPS = 16 };

void memInit();
void* memAlloc(int heap, size_t size);
void memFree(int heap, void* block);
void* memAllocCustom(int heap, size_t size, void* object);
void* memFreeCustom(int heap, void* object);
void memMute();
void memUnmute();
// Live bytes and block records of a heap (0 for a bad heap number).
int memLiveBytes(int heap);
int memBlockCount(int heap);

struct Array {
  unsigned char* data;
  int elementSize;
  int initialCapacity;
  int capacity;
  int count;
  int growthStep;
};

int arrInit(Array* array, int elementSize, int initialCapacity, int growthStep);
int arrAppend(Array* array, const void* source, int n);
int arrAppend1(Array* array, const void* source);
void* arrGet(Array* array, int index);
void arrClear(Array* array);
void arrFree(Array* array);

struct ListNode {
  ListNode* prev;
  ListNode* next;
  size_t size;
  void* payload;  // owned copy
};

// A zeroed record is an empty list.
struct List {
  ListNode* first;
  ListNode* last;
  ListNode* cursor;
  int cursorFlag;
};

void listFree(List* list);
ListNode* listPushBack(List* list, const void* source, size_t size);
ListNode* listPushFront(List* list, const void* source, size_t size);
void listRewind(List* list);
ListNode* listNext(List* list);
int listCount(const List* list);
int listRemoveCurrent(List* list);

// Sorted bare names of the directory entries matching pattern ("ltime/*"), in
// one allocation released with free(). Returns the count (0 with a null array
// when nothing matches) or -1.
int LIST_FILES(const char* pattern, char*** names);
bool fileExists(const char* path);
