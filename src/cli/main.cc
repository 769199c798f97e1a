#include <malloc.h>

#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  // One command, then exit: memory freed on the way (a part's tokens, a grown
  // vector's old buffer) is worth more kept for the next allocation than handed
  // back to the system and faulted in again page by page, which cost a build of a
  // large song about a fifth of its time.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
  std::ios::sync_with_stdio(false);
  return chwr::cli::Run(argc, argv, std::cout, std::cerr);
}
