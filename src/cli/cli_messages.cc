#include "cli/cli_messages.h"

namespace chwr::cli::msg {

std::string UnknownCommand(std::string_view name, const std::vector<std::string>& commands) {
  std::string text = "chwr: unknown command \"" + std::string(name) + "\"; the commands are:";
  for (const std::string& c : commands) text += " " + c;
  return text + "\nRun with --help for more information.";
}

std::string ConvertProgress(std::size_t done, std::size_t total, std::size_t failed) {
  std::string text = "converting: " + std::to_string(done) + "/" + std::to_string(total);
  if (failed > 0) text += " (" + std::to_string(failed) + " failed)";
  return text;
}

std::string ConvertSummary(std::size_t converted, std::size_t failed) {
  std::string text =
      std::to_string(converted) + (converted == 1 ? " file" : " files") + " converted";
  if (failed > 0) text += ", " + std::to_string(failed) + " could not be";
  return text;
}

}  // namespace chwr::cli::msg
