#pragma once

// What Flickbook asks of the desktop outside its window: opening links and
// files with the user's applications, and starting helper programs such as
// xdg-email. Tests install a recording stand-in, because a test machine has
// no browser or mail client to open.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace flickbook::platform {

class Desktop {
public:
    virtual ~Desktop() = default;

    // False when nothing could open the link.
    virtual bool openUrl(const QUrl& url);
    // False when the program could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments);

    // The desktop in use; the real one unless a test installed another.
    static Desktop& current();
    // Installs desktop (not owned) until it is replaced; nullptr restores the real one.
    static void setCurrent(Desktop* desktop);
};

// One line on the console (standard error), with nothing shown to the user.
void consoleLine(const QString& line);

} // namespace flickbook::platform
