// Measures how well MIDI import keeps time on real files: every track of every file given
// is imported alone by both conversions, built back into a MIDI file and compared note by
// note with the source (see tests/support/import_fidelity.h).
//
//   import_fidelity [--start N] [--measures N] FILE.mid...
//
// Prints one line a track and conversion, then the totals.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "import/smf_import.h"
#include "import_fidelity.h"
#include "io/file_io.h"

int main(int argc, char** argv) {
  std::string start = "0", measures = "9999";
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--start") && i + 1 < argc) {
      start = argv[++i];
    } else if (!std::strcmp(argv[i], "--measures") && i + 1 < argc) {
      measures = argv[++i];
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: import_fidelity [--start N] [--measures N] FILE.mid...\n");
    return 64;
  }
  long writable[2] = {0, 0}, matched[2] = {0, 0}, outOfRange[2] = {0, 0};
  for (const std::string& path : files) {
    const auto bytes = chwr::ReadFileBytes(path);
    if (!bytes) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), bytes.error().message.c_str());
      continue;
    }
    const auto facts = chwr::ReadSmfFacts(*bytes);
    if (!facts) continue;
    const auto sources = chwr::DescribeImportSources(*bytes, *facts);
    for (int item = 0; item < 16; ++item) {
      if (!sources[item].present || sources[item].noteCount == 0) continue;
      for (int absolute = 0; absolute < 2; ++absolute) {
        chwr::ImportChoices choices;
        choices.seek = start;
        choices.measures = measures;
        choices.absolute = absolute != 0;
        const auto f = chwr::test::MeasureImport(*bytes, item, choices);
        std::printf("%s %2d %-9s %6d notes %6d found %5d out of range %7.2f%%%s%s\n",
                    path.c_str(), item + 1, absolute ? "absolute" : "streaming", f.writable,
                    f.matched, f.outOfRange, 100.0 * f.Ratio(), f.failure.empty() ? "" : "  ",
                    f.failure.c_str());
        for (const std::string& miss : f.misses) std::printf("    missed %s\n", miss.c_str());
        writable[absolute] += f.writable;
        matched[absolute] += f.matched;
        outOfRange[absolute] += f.outOfRange;
      }
    }
  }
  for (int absolute = 0; absolute < 2; ++absolute) {
    const long w = writable[absolute];
    std::printf("%-9s: %ld notes, %ld found (%.2f%%), %ld out of range; %.2f%% of the notes in range\n",
                absolute ? "absolute" : "streaming", w, matched[absolute],
                w ? 100.0 * matched[absolute] / w : 100.0, outOfRange[absolute],
                w - outOfRange[absolute] ? 100.0 * matched[absolute] / (w - outOfRange[absolute]) : 100.0);
  }
  return 0;
}
