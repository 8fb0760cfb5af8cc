#pragma once

// The status HUD: one window-wide overlay that shows an activity indicator
// during long work and short success, error and information notices after
// it. Callers use the class-level calls from any thread; the overlay's state
// lives on the GUI thread, where the window draws it.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

namespace flickbook::components {

class StatusHUD : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The one overlay of the window")
    Q_PROPERTY(bool visible READ isVisible NOTIFY stateChanged)
    Q_PROPERTY(int kind READ kind NOTIFY stateChanged)
    Q_PROPERTY(QString status READ status NOTIFY stateChanged)
    Q_PROPERTY(int style READ style NOTIFY appearanceChanged)
    Q_PROPERTY(int maskType READ maskType NOTIFY appearanceChanged)

public:
    enum Style { StyleLight = 0, StyleDark = 1, StyleCustom = 2 };
    enum MaskType { MaskNone = 1, MaskClear = 2, MaskBlack = 3, MaskGradient = 4, MaskCustom = 5 };
    enum Kind { Activity = 0, Success = 1, Failure = 2, Information = 3 };
    Q_ENUM(Style)
    Q_ENUM(MaskType)
    Q_ENUM(Kind)

    // The one overlay. Created on the GUI thread at the first call.
    static StatusHUD& shared();

    static void setDefaultStyle(int style);
    static void setDefaultMaskType(int maskType);
    static void setMinimumDismissTimeInterval(double seconds);

    // An activity indicator that stays until dismiss() or a notice.
    static void show();
    static void showWithStatus(const QString& status);
    // Notices replace whatever shows and hide themselves after a while, never
    // sooner than the minimum dismiss time.
    static void showSuccessWithStatus(const QString& status);
    static void showErrorWithStatus(const QString& status);
    static void showInfoWithStatus(const QString& status);
    static void dismiss();

    bool isVisible() const { return visible_; }
    int kind() const { return kind_; }
    QString status() const { return status_; }
    int style() const { return style_; }
    int maskType() const { return maskType_; }
    double minimumDismissTimeInterval() const { return minimumDismiss_; }
    // How long a notice with this text stays up.
    double displayDuration(const QString& status) const;

signals:
    void stateChanged();
    void appearanceChanged();

private:
    explicit StatusHUD(QObject* parent);
    void present(Kind kind, const QString& status);
    void hide();

    bool visible_ = false;
    int kind_ = Activity;
    QString status_;
    int style_ = StyleLight;
    int maskType_ = MaskNone;
    double minimumDismiss_ = 5.0;
    QTimer noticeTimer_;
};

} // namespace flickbook::components
