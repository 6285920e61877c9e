#pragma once
// Shared by the windows of both graphical programs: the error boxes, the
// frame of a window slot, the report of an unwritable ini file, the QString
// forms of the path rules, the ini file name, the character-classification
// locale and the QString/std::string conversion.
// Texts cross between QString and std::string as UTF-8. GUI thread only.

#include "core/TextUtilities.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

// How the undefined-error box treats an empty message text: velmora leaves it
// empty ("Undefined error:"), halvane puts "Undefined error" in its place.
enum class LwUndefinedErrorStyle { KeepEmpty, NameEmpty };

// The error box, built but not shown: parent `parent`, title "ERROR", the
// text, one Ok button, application-modal.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& text, QWidget* parent);
// The text of the undefined-error box for a message.
QString UndefinedErrorText(const QString& message, LwUndefinedErrorStyle style);
// Shows the error box with `message` read as UTF-8; returns when it is closed.
// After a quit signal (LwQuitOnSignals) the message goes to Qt's warning
// output instead, so that the program ends without waiting for a click.
void ShowErrorBox(const std::string& message, QWidget* parent);
// The same box with "Undefined error:" before the message.
void ShowUndefinedErrorBox(const QString& message, QWidget* parent,
                           LwUndefinedErrorStyle style = LwUndefinedErrorStyle::KeepEmpty);

// A program's way with the exceptions that end a window slot
// (RunShowingErrors). The defaults are velmora's and fgraph's.
struct LwSlotErrorReport
{
    // The undefined-error box's treatment of an empty text.
    LwUndefinedErrorStyle Style = LwUndefinedErrorStyle::KeepEmpty;
    // Whether a std::exception's what() follows "Undefined error:"; halvane's
    // box names no cause.
    bool ShowWhat = true;
    // Asked once the action has thrown: true leaves the box out. For a window
    // that the user chose to close while the action ran: it closes as soon as
    // the slot ends, and a box would only hold the close up.
    std::function<bool()> SayNothing;
};

// Runs `action` for a window slot or event handler, so that no exception
// reaches Qt's event loop: an LwError is shown with ShowErrorBox, any other
// exception with ShowUndefinedErrorBox, both as `report` says. Returns
// whether `action` finished.
bool RunShowingErrors(QWidget* parent, const std::function<void()>& action,
                      const LwSlotErrorReport& report = {});

// RunShowingErrors, where an exception of type Quiet (a cancel by the user,
// after which nothing has changed) ends `action` without a box. Returns
// whether `action` finished.
template <class Quiet>
bool RunShowingErrorsQuietOn(QWidget* parent, const std::function<void()>& action,
                             const LwSlotErrorReport& report = {})
{
    bool finished = false;
    RunShowingErrors(
        parent,
        [&] {
            try {
                action();
                finished = true;
            } catch (const Quiet&) {}
        },
        report);
    return finished;
}

// The write of a program's ini file, which may fail on every run (a program
// folder without write access) and must not stop the work that follows:
// each failure goes to Qt's warning output, the first one of this object
// also to the error box, with the addendum after the message. The object is
// the scope of "first": velmora keeps one for the run, halvane one per
// window.
class LwIniWriteReporter
{
public:
    explicit LwIniWriteReporter(std::string addendum = std::string());

    // Runs `write`; an LwError from it is reported as above and goes no
    // further. Returns whether `write` finished.
    bool Write(QWidget* parent, const std::function<void()>& write);

private:
    std::string addendum_;
    bool shown_ = false;
};

// Runs `action` until it finishes or the user gives up: after each error the
// "ERROR" box shows the message, then an empty line and `question`, with the
// buttons Retry and Discard. For a result that must not be lost to a failed
// send (the caller keeps it while the box shows). Returns whether `action`
// finished; false at once, without a box, after a quit signal.
bool RunOfferingRetry(QWidget* parent, const QString& question, const std::function<void()>& action);

// The frame of the requests that hand one computed result over to the
// viewer (`send`), so that the viewer gets it whole or not at all from this
// try: after a quit signal (LwQuitOnSignals) nothing is sent and false is
// returned; a quit signal during `send` lets it finish
// (LwQuitOnSignals::Deferral); a failed `send` is offered again as
// RunOfferingRetry does. `send` must be safe to run again (reuse the windows
// it made). Returns whether `send` finished.
bool RunSendingWhole(QWidget* parent, const QString& question, const std::function<void()>& send);

// The start-up's reports (a refused "-P", an unwritable menu file) in one
// error box over `window`, one line each, once the event loop runs; nothing
// when there are none.
void ShowStartUpReports(const std::vector<std::string>& reports, QWidget* window);

// The path rules of core/TextUtilities.h (ReplaceExtension, GetFileName,
// GetDirectoryPart, FileNameExtension, FileNameDirectory) on QString paths,
// applied to their UTF-8 bytes.
QString ReplaceExtensionQString(const QString& path, const QString& extension);
QString GetFileNameQString(const QString& path);
QString GetDirectoryPartQString(const QString& path);
QString FileNameExtensionQString(const QString& path);
// The directory part with its last separator.
QString FileNameDirectoryQString(const QString& path);

// The program file's path with its extension replaced by `extension`.
QString GetIniFileName(const QString& extension);

// The two text splitters (SplitByDelimiter, SplitTextLines) live in
// core/TextUtilities.h, so that the table readers without windows share them.

// The locale whose character classification the file-name work uses: the
// UTF-8 classification, since Linux file names are UTF-8 bytes.
extern const char* const kFileNameCtypeLocale;
// Makes the process-wide C++ locale a copy of the current one with the
// character classification of kFileNameCtypeLocale. The locale library's
// exception passes when that locale is missing.
void SetGlobalLocaleJapanese();

// The UTF-8 bytes of `text` up to its first NUL byte.
std::string QStringToStdString(const QString& text);
// `text` read as UTF-8 up to its first NUL byte.
QString StdStringToQString(const std::string& text);
