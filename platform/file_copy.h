#pragma once

// Copying what is left of one device into another, a megabyte at a time.

#include <QIODevice>

namespace flickbook::platform {

enum class CopyOutcome { Copied, ReadFailed, WriteFailed };

CopyOutcome copyRemaining(QIODevice& from, QIODevice& to);

} // namespace flickbook::platform
