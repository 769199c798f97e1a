#include "cli/cli_messages.h"

namespace chwr::cli::msg {

std::string UnknownCommand(std::string_view name, const std::vector<std::string>& commands) {
  std::string text = "chwr: unknown command \"" + std::string(name) + "\"; the commands are:";
  for (const std::string& c : commands) text += " " + c;
  return text + "\nRun with --help for more information.";
}

}  // namespace chwr::cli::msg
