// The command line of one subcommand: its options (--name VALUE, --name=VALUE, -x VALUE, flags)
// and its operands, checked against what the subcommand accepts. "--" ends the options.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "runtime/exception.h"

namespace vornix::tools {

// A command line the subcommand cannot take: reported with the usage hint, exit code 2.
class UsageError : public Exception {
 public:
  using Exception::Exception;
};

struct OptionSpec {
  const char* Name;  // the long form, without "--"
  char Short;        // the one-letter form, or 0
  bool TakesValue;
};

class TArguments {
 public:
  // Raises UsageError on an unknown option, a missing value or a value given to a flag. --help and
  // -h are always known.
  TArguments(const std::vector<std::string>& args, std::initializer_list<OptionSpec> options);

  bool HelpWanted() const { return Has("help"); }
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The option's value (the last one given), or fallback.
  std::string Value(const std::string& name, const std::string& fallback = std::string()) const;
  // The option's value as a whole number from minimum to maximum; raises UsageError otherwise.
  int Number(const std::string& name, int fallback, int minimum, int maximum) const;
  const std::vector<std::string>& Operands() const { return operands_; }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> operands_;
};

}  // namespace vornix::tools
