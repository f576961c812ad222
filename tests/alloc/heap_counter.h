// Counts heap allocations in the test program that links heap_counter.cpp,
// which replaces the global operator new and delete (every form) and the C
// library's malloc family for the whole process, the loaded module
// included. Only what happens while a HeapCounting lives is counted, and
// nothing that the stand-in host does as its own work (host::InHostWork()).
#pragma once

namespace velk::test {

struct HeapCount {
  long allocations = 0;  // blocks handed out, by any allocation function
  long releases = 0;     // blocks handed back (freeing null is not counted)
};

// Counting is on from construction to destruction; one at a time.
class HeapCounting {
 public:
  HeapCounting();
  ~HeapCounting();
  HeapCounting(const HeapCounting&) = delete;
  HeapCounting& operator=(const HeapCounting&) = delete;

  // What was counted so far.
  HeapCount count() const;
};

}  // namespace velk::test
