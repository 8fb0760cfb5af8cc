#pragma once

// File sizes as people write and read them: "10MB", "800KB", "2.5MB" in, "8.4 MB" out.
// KB, MB and GB are powers of 1000, as file managers show them; KiB, MiB and
// GiB are powers of 1024. A size given in the one is never over the same
// number in the other, so a budget in MB holds wherever a site means MiB.

#include "core/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace flickbook {

// A size with its unit: digits with at most one decimal point, then B, KB,
// MB, GB, KiB, MiB or GiB (in any case, a space between allowed). At least
// one byte and at most 1 TB. Errors: "size.syntax", "size.range".
Result<std::uint64_t> parseByteSize(std::string_view text);

// "512 bytes", "840 KB", "8.4 MB", "23 MB": two significant figures under
// ten, whole units above, in powers of 1000.
std::string formatByteSize(std::uint64_t bytes);

} // namespace flickbook
