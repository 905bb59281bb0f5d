// vornix: the command-line program that builds, lists, verifies and extracts packages. The
// arguments arrive as UTF-8, as file names do on this platform.
#include "tools/commands.h"

int main(int argc, char** argv) { return vornix::tools::VornixMain(std::vector<std::string>(argv + 1, argv + argc)); }
