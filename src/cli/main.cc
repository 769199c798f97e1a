#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return chwr::cli::Run(argc, argv, std::cout, std::cerr);
}
