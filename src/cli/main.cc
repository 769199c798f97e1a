#include <iostream>

#include "cli/commands.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

// One command, then exit: memory freed on the way (a part's tokens, a grown vector's
// old buffer) is worth more kept for the next allocation than handed back to the
// system and faulted in again page by page, which cost a build of a large song about a
// fifth of its time.
//
// The heap is then grown once, by the pad, and the kernel asked to back it with 2 MB
// pages: a large build touches a few megabytes once, and on a virtual machine each
// 4 KB page's first touch costs more than the work done on it (1,400 faults were half
// of a 30 ms build). Where transparent huge pages are off, the advice is ignored.
void KeepAndGrowHeap() {
  constexpr std::size_t kPad = 16 << 20;
  constexpr std::uintptr_t kLargePage = 2 << 20;
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  mallopt(M_TOP_PAD, kPad);
  // The heap grows from one page below a large-page boundary: the allocator writes its
  // bookkeeping at the start of the new memory at once, and a large page needs the whole
  // of its 2 MB untouched until the advice is given. The first allocations are then
  // served from the large pages.
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
  const std::uintptr_t from = (end + page + kLargePage - 1) & ~(kLargePage - 1);
  if (sbrk(static_cast<intptr_t>(from - page - end)) == reinterpret_cast<void*>(-1)) return;
  void* room = std::malloc(kPad);  // more than the heap's top holds: the heap grows
  if (room == nullptr) return;
  const auto to = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kLargePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  std::free(room);  // back to the heap's top, which the trim threshold keeps
}

}  // namespace
#else
namespace {
void KeepAndGrowHeap() {}
}  // namespace
#endif

int main(int argc, char** argv) {
  KeepAndGrowHeap();
  std::ios::sync_with_stdio(false);
  return chwr::cli::Run(argc, argv, std::cout, std::cerr);
}
