// The command-line parser shared by the subcommands.
#include "tools/arguments.h"

#include <cerrno>
#include <cstdlib>

namespace vornix::tools {
namespace {

const OptionSpec kHelp = {"help", 'h', false};

const OptionSpec* FindLong(const std::string& name, std::initializer_list<OptionSpec> options) {
  if (name == kHelp.Name) return &kHelp;
  for (const OptionSpec& option : options) {
    if (name == option.Name) return &option;
  }
  return nullptr;
}

const OptionSpec* FindShort(char letter, std::initializer_list<OptionSpec> options) {
  if (letter == kHelp.Short) return &kHelp;
  for (const OptionSpec& option : options) {
    if (option.Short != 0 && letter == option.Short) return &option;
  }
  return nullptr;
}

}  // namespace

TArguments::TArguments(const std::vector<std::string>& args, std::initializer_list<OptionSpec> options) {
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::string value;
    bool has_value = false;
    if (arg[1] == '-') {
      const size_t equals = arg.find('=');
      option = FindLong(arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2), options);
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        has_value = true;
      }
    } else if (arg.size() == 2) {
      option = FindShort(arg[1], options);
    }
    if (option == nullptr) throw UsageError("unknown option '" + arg + "'");
    const std::string shown = std::string("--") + option->Name;
    if (!option->TakesValue && has_value) throw UsageError(shown + " takes no value");
    if (option->TakesValue && !has_value) {
      if (i + 1 == args.size()) throw UsageError(shown + " needs a value");
      value = args[++i];
    }
    values_[option->Name] = value;
  }
}

std::string TArguments::Value(const std::string& name, const std::string& fallback) const {
  auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second;
}

int TArguments::Number(const std::string& name, int fallback, int minimum, int maximum) const {
  if (!Has(name)) return fallback;
  const std::string text = Value(name);
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || number < minimum || number > maximum) {
    throw UsageError("--" + name + " takes a whole number from " + std::to_string(minimum) + " to " +
                     std::to_string(maximum) + ", not '" + text + "'");
  }
  return static_cast<int>(number);
}

}  // namespace vornix::tools
