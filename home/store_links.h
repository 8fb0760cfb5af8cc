#pragma once

// Flickbook's pages in Flathub, the Linux app store it is published in.

#include <QString>
#include <QtGlobal>

namespace flickbook::home {

inline const QString kAppId = QStringLiteral("io.github.flickbook.Flickbook");
inline const QString kStoreLink = QStringLiteral("https://flathub.org/apps/") + kAppId;
// The store page with the query that opens its write-a-review view.
inline const QString kReviewLink = kStoreLink + QStringLiteral("?mt=8&action=write-review");
inline const QString kDeveloperLink =
    QStringLiteral("https://flathub.org/apps/collection/developer/Flickbook");

// Translated where it is shared.
inline const char kRecommendation[] =
    QT_TRANSLATE_NOOP("flickbook::home::SettingScreen", "Download this awesome Flickbook App.");

} // namespace flickbook::home
