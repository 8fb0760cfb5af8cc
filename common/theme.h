#pragma once

// The look every page shares, in one place: colours by the role they play,
// corner radii, spacing and type sizes. Pages read it as the QML singleton
// `Theme`; nothing else in the QML writes a colour of its own.

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace flickbook::common {

class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    // The brand colour and its light washes.
    Q_PROPERTY(QColor accent MEMBER accent CONSTANT)
    Q_PROPERTY(QColor accentWash MEMBER accentWash CONSTANT)
    Q_PROPERTY(QColor accentHighlight MEMBER accentHighlight CONSTANT)
    Q_PROPERTY(QColor link MEMBER link CONSTANT)
    // Text, from the most to the least prominent.
    Q_PROPERTY(QColor label MEMBER label CONSTANT)
    Q_PROPERTY(QColor strongSecondaryLabel MEMBER strongSecondaryLabel CONSTANT)
    Q_PROPERTY(QColor secondaryLabel MEMBER secondaryLabel CONSTANT)
    Q_PROPERTY(QColor tertiaryLabel MEMBER tertiaryLabel CONSTANT)
    Q_PROPERTY(QColor placeholderIcon MEMBER placeholderIcon CONSTANT)
    Q_PROPERTY(QColor onAccent MEMBER onAccent CONSTANT)
    // Danger: delete, errors, recording.
    Q_PROPERTY(QColor destructive MEMBER destructive CONSTANT)
    Q_PROPERTY(QColor destructiveLabel MEMBER destructiveLabel CONSTANT)
    Q_PROPERTY(QColor recordingBadge MEMBER recordingBadge CONSTANT)
    // Surfaces, from the window behind the pages to the controls on them.
    Q_PROPERTY(QColor pageBackground MEMBER pageBackground CONSTANT)
    Q_PROPERTY(QColor surface MEMBER surface CONSTANT)
    Q_PROPERTY(QColor surfaceHovered MEMBER surfaceHovered CONSTANT)
    Q_PROPERTY(QColor surfacePressed MEMBER surfacePressed CONSTANT)
    Q_PROPERTY(QColor sheetBackground MEMBER sheetBackground CONSTANT)
    Q_PROPERTY(QColor translucentSurface MEMBER translucentSurface CONSTANT)
    Q_PROPERTY(QColor placeholderFill MEMBER placeholderFill CONSTANT)
    Q_PROPERTY(QColor mediaBackground MEMBER mediaBackground CONSTANT)
    Q_PROPERTY(QColor darkBar MEMBER darkBar CONSTANT)
    Q_PROPERTY(QColor stripBackground MEMBER stripBackground CONSTANT)
    // Lines.
    Q_PROPERTY(QColor separator MEMBER separator CONSTANT)
    Q_PROPERTY(QColor cardBorder MEMBER cardBorder CONSTANT)
    Q_PROPERTY(QColor controlBorder MEMBER controlBorder CONSTANT)
    Q_PROPERTY(QColor strongBorder MEMBER strongBorder CONSTANT)
    // Shades of black laid over other things.
    Q_PROPERTY(QColor hoverTint MEMBER hoverTint CONSTANT)
    Q_PROPERTY(QColor pressedTint MEMBER pressedTint CONSTANT)
    Q_PROPERTY(QColor hairlineShadow MEMBER hairlineShadow CONSTANT)
    Q_PROPERTY(QColor barShadow MEMBER barShadow CONSTANT)
    Q_PROPERTY(QColor outline MEMBER outline CONSTANT)
    Q_PROPERTY(QColor scrim MEMBER scrim CONSTANT)
    Q_PROPERTY(QColor dimmed MEMBER dimmed CONSTANT)
    Q_PROPERTY(QColor captionBackground MEMBER captionBackground CONSTANT)
    // The home screen's tiles, one hue per way of making a GIF.
    Q_PROPERTY(QColor videoTile MEMBER videoTile CONSTANT)
    Q_PROPERTY(QColor photosTile MEMBER photosTile CONSTANT)
    Q_PROPERTY(QColor workTile MEMBER workTile CONSTANT)
    Q_PROPERTY(QColor settingsTile MEMBER settingsTile CONSTANT)

    Q_PROPERTY(int spacing MEMBER spacing CONSTANT)
    Q_PROPERTY(int margin MEMBER margin CONSTANT)
    Q_PROPERTY(int cardRadius MEMBER cardRadius CONSTANT)
    Q_PROPERTY(int controlRadius MEMBER controlRadius CONSTANT)
    Q_PROPERTY(int titleFontSize MEMBER titleFontSize CONSTANT)
    Q_PROPERTY(int bodyFontSize MEMBER bodyFontSize CONSTANT)
    Q_PROPERTY(int captionFontSize MEMBER captionFontSize CONSTANT)

public:
    explicit Theme(QObject* parent = nullptr);

private:
    QColor accent;
    QColor accentWash{0xfd, 0xe6, 0xeb};
    QColor accentHighlight;
    QColor link{0x00, 0x7a, 0xff};

    QColor label{0x1c, 0x1c, 0x1e};
    QColor strongSecondaryLabel{0x3a, 0x3a, 0x3c};
    QColor secondaryLabel{0x6d, 0x6d, 0x72};
    QColor tertiaryLabel{0x8e, 0x8e, 0x93};
    QColor placeholderIcon{0xc4, 0xc4, 0xc8};
    QColor onAccent{Qt::white};

    QColor destructive{0xff, 0x3b, 0x30};
    QColor destructiveLabel{0xd7, 0x00, 0x15};
    QColor recordingBadge{0xff, 0x3b, 0x30, 0xe6};

    QColor pageBackground{0xf4, 0xf5, 0xf7};
    QColor surface{Qt::white};
    QColor surfaceHovered{0xfa, 0xfa, 0xfb};
    QColor surfacePressed{0xee, 0xf0, 0xf3};
    QColor sheetBackground{0xf9, 0xf9, 0xf9};
    QColor translucentSurface{0xff, 0xff, 0xff, 0xf2};
    QColor placeholderFill{0xec, 0xee, 0xf1};
    QColor mediaBackground{Qt::black};
    QColor darkBar{0x1c, 0x1c, 0x1e, 0xe6};
    QColor stripBackground{0x2c, 0x2c, 0x2e};

    QColor separator{0xec, 0xec, 0xef};
    QColor cardBorder{0xe6, 0xe7, 0xea};
    QColor controlBorder{0xdc, 0xdd, 0xe1};
    QColor strongBorder{0xd0, 0xd0, 0xd6};

    QColor hoverTint{0, 0, 0, 0x0f};
    QColor pressedTint{0, 0, 0, 0x1f};
    QColor hairlineShadow{0, 0, 0, 0x1a};
    QColor barShadow{0, 0, 0, 0x4c};
    QColor outline{0, 0, 0, 0x40};
    QColor scrim{0, 0, 0, 0x80};
    QColor dimmed{0, 0, 0, 0x99};
    QColor captionBackground{0, 0, 0, 0xb3};

    QColor videoTile{0xff, 0x7a, 0x45};
    QColor photosTile{0x8e, 0x5c, 0xf7};
    QColor workTile{0x2d, 0x9c, 0xdb};
    QColor settingsTile{0x5b, 0x5f, 0x6b};

    int spacing = 8;
    int margin = 16;
    int cardRadius = 16;
    int controlRadius = 12;
    int titleFontSize = 17;
    int bodyFontSize = 15;
    int captionFontSize = 13;
};

} // namespace flickbook::common
