#include "common/theme.h"

#include "common/common_utils.h"

namespace flickbook::common {

Theme::Theme(QObject* parent)
    : QObject(parent), accent(accentColor()), accentHighlight(accentColor()) {
    accentHighlight.setAlpha(0x1a);
}

} // namespace flickbook::common
