#include "file_copy.h"

#include <QByteArray>

namespace flickbook::platform {

CopyOutcome copyRemaining(QIODevice& from, QIODevice& to) {
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(1 << 20);
        // Not at the end yet nothing came: the source failed.
        if (chunk.isEmpty())
            return CopyOutcome::ReadFailed;
        if (to.write(chunk) != chunk.size())
            return CopyOutcome::WriteFailed;
    }
    return CopyOutcome::Copied;
}

} // namespace flickbook::platform
