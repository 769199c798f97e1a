// `chwr convert`: MLD files of any layout as MIDI files, one or a whole collection,
// converted in parallel on every core.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "io/file_io.h"
#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"

namespace chwr::cli {
namespace {

namespace fs = std::filesystem;

struct Job {
  fs::path input;
  fs::path output;
};

bool IsMldName(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".mld";
}

// Where each input's MIDI file goes: the one named by -o, else under -d (a folder's files
// keep their place below it), else beside the input. A name two inputs would share gets
// a number, so that no conversion overwrites another.
Result<std::vector<Job>> Plan(const ConvertArgs& args) {
  std::vector<Job> jobs;
  for (const fs::path& input : args.inputs) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
      std::vector<fs::path> found;
      for (auto it = fs::recursive_directory_iterator(
               input, fs::directory_options::skip_permission_denied, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsMldName(it->path())) found.push_back(it->path());
      }
      std::sort(found.begin(), found.end());
      for (const fs::path& file : found) {
        const fs::path relative = file.lexically_relative(input);
        const fs::path base =
            args.outputDir.empty() ? file.parent_path() : args.outputDir / relative.parent_path();
        jobs.push_back({file, base / relative.filename().replace_extension(".mid")});
      }
    } else {
      const fs::path base = args.outputDir.empty() ? input.parent_path() : args.outputDir;
      jobs.push_back({input, base / input.filename().replace_extension(".mid")});
    }
  }
  if (!args.output.empty()) {
    if (jobs.size() != 1) return std::unexpected(UsageError(msg::kConvertOneOutput));
    jobs.front().output = args.output;
  }
  std::set<fs::path> taken;
  for (Job& job : jobs) {
    const fs::path stem = job.output.parent_path() / job.output.stem();
    for (int n = 2; !taken.insert(job.output.lexically_normal()).second; ++n) {
      job.output = stem;
      job.output += "-" + std::to_string(n) + ".mid";
    }
  }
  return jobs;
}

// Converts one file; what it says (warnings, or the reason it failed) goes to `report`.
// Gives what the failure was about, if it failed.
std::optional<DiagnosticCode> ConvertOne(const Job& job, std::ostream& report) {
  // Every line names the file: a batch's reports interleave.
  const auto say = [&](const Diagnostic& d) {
    report << job.input.string() << ": ";
    Print(d, report);
  };
  const auto fail = [&](const Diagnostic& d) {
    say(d);
    return std::optional(d.code);
  };
  auto bytes = ReadFileBytes(job.input);
  if (!bytes) return fail(bytes.error());
  auto music = DecodeMld(*bytes);
  if (!music) return fail(music.error());
  MldMidi midi = MldToSmf(*music);
  for (const Diagnostic& w : music->warnings) say(w);
  for (const Diagnostic& w : midi.warnings) say(w);
  std::error_code ec;
  if (!job.output.parent_path().empty()) fs::create_directories(job.output.parent_path(), ec);
  if (auto written = WriteFileAtomic(job.output, midi.bytes); !written)
    return fail(written.error());
  return std::nullopt;
}

}  // namespace

int ConvertCommand(const ConvertArgs& args, std::ostream& out, std::ostream& err) {
  auto jobs = Plan(args);
  if (!jobs) return Failed(jobs.error(), err);
  if (jobs->empty()) return Failed(UsageError(msg::kConvertNothingFound), err);

  // One input: its failure ends the command with the status of what went wrong.
  if (jobs->size() == 1) {
    std::ostringstream report;
    const auto failure = ConvertOne(jobs->front(), report);
    err << report.str();
    return failure ? ExitStatusOf(*failure) : kOk;
  }

  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  std::mutex lock;
  std::atomic<std::size_t> next{0};
  std::size_t done = 0, failed = 0;
  const auto work = [&] {
    for (std::size_t i = next++; i < jobs->size(); i = next++) {
      std::ostringstream report;
      const bool ok = !ConvertOne((*jobs)[i], report);
      const std::lock_guard guard(lock);
      ++done;
      failed += ok ? 0 : 1;
      if (terminal) err << "\r\033[K";
      err << report.str();
      if (terminal) err << msg::ConvertProgress(done, jobs->size(), failed) << std::flush;
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::jthread> workers;
  for (unsigned c = 1; c < std::min<std::size_t>(cores, jobs->size()); ++c)
    workers.emplace_back(work);
  work();
  workers.clear();
  if (terminal) err << '\n';
  err << msg::ConvertSummary(jobs->size() - failed, failed) << '\n';
  out.flush();
  return failed == 0 ? kOk : kCompileError;
}

}  // namespace chwr::cli
