#pragma once

#include <string>
#include <vector>

namespace flickbook::cli {

// Each command returns the process exit status: 0 on success, 1 on failure.
int runInfo(const std::vector<std::string>& args);
int runFrames(const std::vector<std::string>& args);
int runList(const std::vector<std::string>& args);
int runDelete(const std::vector<std::string>& args);
int runImages(const std::vector<std::string>& args);
int runVideo(const std::vector<std::string>& args);
int runCut(const std::vector<std::string>& args);

// "flickbook-cli: error: MESSAGE" on standard error; returns 1.
int fail(const std::string& message);
void warn(const std::string& message);

} // namespace flickbook::cli
