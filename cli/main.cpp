// flickbook-cli: Flickbook's engine from a terminal.

#include "commands.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = R"(usage: flickbook-cli COMMAND [ARGS]

commands:
  info FILE.gif [--json]   canvas, loop count, per-frame delays (cs), step, list length, duration
  frames FILE.gif DIR      every frame composited to full-canvas RGBA PNG, frame_0000.png ...
  list [--json]            the work list, newest first
  delete NAME              delete a GIF from the work list

The work list is $XDG_DATA_HOME/Flickbook/Documents/MyWork (default ~/.local/share/...).
)";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        (args.empty() ? std::cerr : std::cout) << kUsage;
        return args.empty() ? 1 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    using namespace flickbook::cli;
    if (command == "info")
        return runInfo(args);
    if (command == "frames")
        return runFrames(args);
    if (command == "list")
        return runList(args);
    if (command == "delete")
        return runDelete(args);
    fail("unknown command '" + command + "'");
    std::cerr << kUsage;
    return 1;
}
