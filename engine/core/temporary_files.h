#pragma once

// Files that must not outlive their process: temporary renders, the hidden
// ".part" file of an output being written, a cut made for a GIF. Each is
// registered while it exists; on SIGINT, SIGTERM or SIGHUP the handler
// installed by removeTemporaryFilesOnSignals() unlinks every registered file
// before the process exits. What a killed process (SIGKILL, a crash, a power
// cut) leaves behind is found at the next start by the names below, which
// carry the owning process's id.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace flickbook::temporary {

// Registers a file to remove if the process is interrupted; false when the
// table (a few hundred entries) is full or the path is too long, in which case
// only the start-up sweep will find it.
bool track(const std::filesystem::path& file);
// The file was renamed into place or removed: no longer ours to remove.
void untrack(const std::filesystem::path& file);

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the tracked
// files and exit with 128 + the signal's number (130 for Ctrl-C).
void removeTemporaryFilesOnSignals();

// The id of the process that made a temporary file, from its name:
// "<prefix>-<pid>-…" or ".<name>.<pid>-XXXXXX.part".
std::optional<pid_t> ownerOf(const std::string& fileName);

// Whether a file modified at `modified` can still belong to process `pid`:
// the process runs and started before the file was last written (a process
// started later only reuses the id).
bool ownerMayBeRunning(pid_t pid, std::filesystem::file_time_type modified);

} // namespace flickbook::temporary
