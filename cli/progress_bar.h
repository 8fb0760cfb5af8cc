#pragma once

// A progress bar on standard error, drawn in place only on a terminal.

#include <string>

namespace flickbook::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar();
    void update(double fraction); // 0 to 1
    void finish();

private:
    std::string label_;
    bool enabled_;
    int lastPercent_ = -1;
    bool drawn_ = false;
};

} // namespace flickbook::cli
