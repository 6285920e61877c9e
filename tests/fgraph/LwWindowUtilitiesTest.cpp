#include "core/LwError.h"
#include "fgraph/LwQuitOnSignals.h"
#include "fgraph/LwWindowUtilities.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <functional>
#include <locale>
#include <stdexcept>

namespace {

struct PathCase
{
    std::string path;
    std::string argument;
    std::string expected;
};

TEST(LwWindowUtilities, ReplaceExtensionFollowsTheDotAndSeparatorRules)
{
    const std::vector<PathCase> cases = {
        {"dir.d/file", ".ini", "dir.d/file.ini"},
        {"dir.d\\file", ".ini", "dir.d\\file.ini"},
        {"file.tar.gz", ".csv", "file.tar.csv"},
        {".hidden", ".ini", ".hidden.ini"},
        {"a.b", "", "a"},
        {"x/a.", ".txt", "x/a.txt"},
        {"noext", ".ini", "noext.ini"},
        {"", ".ini", ".ini"},
        {"C:/p/prog.exe", ".ini", "C:/p/prog.ini"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path + " + " + c.argument);
        EXPECT_EQ(ReplaceExtension(c.path, c.argument), c.expected);
        EXPECT_EQ(ReplaceExtensionQString(QString::fromStdString(c.path), QString::fromStdString(c.argument)),
                  QString::fromStdString(c.expected));
    }
}

TEST(LwWindowUtilities, GetFileNameAndDirectoryPartSplitAtTheLastSeparatorFromIndexTwo)
{
    // path, file name, directory part
    const std::vector<PathCase> cases = {
        {"a/b", "a/b", ""},
        {"/b", "/b", ""},
        {"C:/x/y.txt", "y.txt", "C:/x"},
        {"C:\\x\\y.txt", "y.txt", "C:\\x"},
        {"C:/x/", "", "C:/x/"},
        {"y.txt", "y.txt", ""},
        {"", "", ""},
        {"ab/c", "c", "ab"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileName(c.path), c.argument);
        EXPECT_EQ(GetDirectoryPart(c.path), c.expected);
        EXPECT_EQ(GetFileNameQString(QString::fromStdString(c.path)), QString::fromStdString(c.argument));
        EXPECT_EQ(GetDirectoryPartQString(QString::fromStdString(c.path)),
                  QString::fromStdString(c.expected));
    }
}

TEST(LwWindowUtilities, QStringPathFormsOfTheCoreRulesKeepNonAsciiNames)
{
    const QString path = QString::fromUtf8("/daten/\xE6\xB8\xAC\xE5\xAE\x9A/run1.xml_cl");
    EXPECT_EQ(FileNameExtensionQString(path), QString("xml_cl"));
    EXPECT_EQ(FileNameDirectoryQString(path), QString::fromUtf8("/daten/\xE6\xB8\xAC\xE5\xAE\x9A/"));
    EXPECT_EQ(GetFileNameQString(path), QString("run1.xml_cl"));
    EXPECT_EQ(ReplaceExtensionQString(path, ".ini"),
              QString::fromUtf8("/daten/\xE6\xB8\xAC\xE5\xAE\x9A/run1.ini"));
}

TEST(LwWindowUtilities, SplitByDelimiterKeepsEmptyPieces)
{
    struct Case
    {
        std::string text;
        std::string delimiter;
        std::vector<std::string> pieces;
    };
    const std::vector<Case> cases = {
        {"1,,2", ",", {"1", "", "2"}},  {"", ",", {""}},
        {"a,b,", ",", {"a", "b", ""}},  {"a\r\nb", "\r", {"a", "\nb"}},
        {"x::y:z", "::", {"x", "y:z"}}, {"abc", "", {"abc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.delimiter);
        std::vector<std::string> pieces = {"stale"};
        SplitByDelimiter(pieces, c.text, c.delimiter);
        EXPECT_EQ(pieces, c.pieces);
    }
}

TEST(LwWindowUtilities, SplitTextLinesDropsTheUnterminatedLastLine)
{
    struct Case
    {
        std::string text;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"a\r\nb", {"a"}},      {"a\n\nb\n", {"a", "", "b"}}, {"", {}},
        {"a\rb\r", {"a", "b"}}, {"a\r\rb\n", {"a", "", "b"}}, {"\n\r\n", {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> lines = {"stale"};
        SplitTextLines(lines, c.text);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(LwWindowUtilities, StringConversionIsUtf8UpToTheFirstNul)
{
    const QString text = QString::fromUtf8("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(QStringToStdString(text), std::string("\xC3\xA9t\xC3\xA9"));
    QString withNul = QString("ab");
    withNul.append(QChar(0));
    withNul.append("cd");
    EXPECT_EQ(QStringToStdString(withNul), std::string("ab"));
    EXPECT_EQ(StdStringToQString(std::string("ab\0cd", 5)), QString("ab"));
    EXPECT_EQ(StdStringToQString(QStringToStdString(text)), text);
}

TEST(LwWindowUtilities, GlobalLocaleTakesTheUtf8ClassificationOnly)
{
    const std::locale before = std::locale();
    SetGlobalLocaleJapanese();
    const std::locale now = std::locale();
    EXPECT_NE(now.name(), before.name());
    // The ctype facet is the UTF-8 one, the other categories stay classic.
    EXPECT_EQ(std::locale(now, std::locale::classic(), std::locale::ctype).name(), before.name());
    EXPECT_TRUE(std::isalpha(L'\u00E9', now));
    EXPECT_FALSE(std::isalpha(L'\u00E9', std::locale::classic()));
    std::locale::global(before);
}

TEST(LwWindowUtilities, IniFileNameLiesBesideTheProgram)
{
    const QString name = GetIniFileName(".ini");
    EXPECT_EQ(name, QCoreApplication::applicationFilePath() + ".ini");  // test binary has no extension
    std::locale::global(std::locale::classic());
}

TEST(LwWindowUtilities, ErrorBoxHasTitleTextAndOneOkButton)
{
    QWidget parent;
    auto box = MakeErrorBox(QString::fromUtf8("f\xC3\xA4il"), &parent);
    EXPECT_EQ(box->windowTitle(), QString("ERROR"));
    EXPECT_EQ(box->text(), QString::fromUtf8("f\xC3\xA4il"));
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->parentWidget(), &parent);
}

TEST(LwWindowUtilities, UndefinedErrorTextPerProgram)
{
    EXPECT_EQ(UndefinedErrorText("", LwUndefinedErrorStyle::KeepEmpty), QString("Undefined error:"));
    EXPECT_EQ(UndefinedErrorText("", LwUndefinedErrorStyle::NameEmpty),
              QString("Undefined error:Undefined error"));
    EXPECT_EQ(UndefinedErrorText("bad", LwUndefinedErrorStyle::KeepEmpty), QString("Undefined error:bad"));
    EXPECT_EQ(UndefinedErrorText("bad", LwUndefinedErrorStyle::NameEmpty), QString("Undefined error:bad"));
}

// Closes the first modal box that appears and records what it showed.
struct BoxCloser
{
    QString title;
    QString text;
    void Arm()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return Arm();
            title = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
    }
};

TEST(LwWindowUtilities, ShownBoxesReturnWhenClosed)
{
    BoxCloser closer;
    closer.Arm();
    ShowErrorBox("Illigal Tag Structure", nullptr);
    EXPECT_EQ(closer.title, QString("ERROR"));
    EXPECT_EQ(closer.text, QString("Illigal Tag Structure"));

    BoxCloser second;
    second.Arm();
    ShowUndefinedErrorBox("", nullptr, LwUndefinedErrorStyle::NameEmpty);
    EXPECT_EQ(second.text, QString("Undefined error:Undefined error"));
}

// Answers the modal boxes as they come, one button each from `buttons`,
// and records their texts.
class BoxAnswers
{
public:
    explicit BoxAnswers(std::vector<QMessageBox::StandardButton> buttons) : buttons_(std::move(buttons))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || texts.size() >= buttons_.size())
                return;
            texts.push_back(box->text());
            box->button(buttons_[texts.size() - 1])->click();
        });
        timer_.start(5);
    }
    std::vector<QString> texts;

private:
    std::vector<QMessageBox::StandardButton> buttons_;
    QTimer timer_;
};

// After a quit signal neither box waits for a click: the program is ending,
// and its message goes to the warning output.
TEST(LwWindowUtilities, NoBoxWaitsForAClickAfterAQuitSignal)
{
    LwQuitOnSignals quitter;
    std::raise(SIGTERM);
    ASSERT_TRUE(LwQuitOnSignals::IsQuitRequested());
    BoxAnswers answers({QMessageBox::Ok, QMessageBox::Ok});
    ShowErrorBox("Illigal Tag Structure", nullptr);
    ShowUndefinedErrorBox("bad_alloc", nullptr);
    EXPECT_TRUE(answers.texts.empty()) << answers.texts.front().toStdString();
}

// The sends of one result: none after a quit signal; a quit signal during
// them lets them finish.
TEST(LwWindowUtilities, ASendIsNotStartedAfterAQuitSignalAndNotCutByOne)
{
    LwQuitOnSignals quitter;
    bool stopsDuringSend = true;
    EXPECT_TRUE(RunSendingWhole(nullptr, "Again?", [&] {
        std::raise(SIGTERM);
        stopsDuringSend = LwQuitOnSignals::StopsWaits(0);
    }));
    EXPECT_FALSE(stopsDuringSend);
    int calls = 0;
    EXPECT_FALSE(RunSendingWhole(nullptr, "Again?", [&] { ++calls; }));
    EXPECT_EQ(calls, 0);
}

// A send that fails keeps the caller's result: the user is offered to send
// it again, as often as it fails, and may give up.
TEST(LwWindowUtilities, FailedActionIsOfferedAgainUntilItWorksOrTheUserGivesUp)
{
    int calls = 0;
    auto failTwice = [&calls] {
        if (++calls <= 2)
            throw LwError("No reply from ZYVRA-IMAGE");
    };
    const QString question = "Send the image again?";
    {
        BoxAnswers answers({QMessageBox::Retry, QMessageBox::Retry});
        EXPECT_TRUE(RunOfferingRetry(nullptr, question, failTwice));
        EXPECT_EQ(calls, 3);
        ASSERT_EQ(answers.texts.size(), 2u);
        EXPECT_EQ(answers.texts[0], QString("No reply from ZYVRA-IMAGE\n\nSend the image again?"));
    }
    calls = 0;
    {
        BoxAnswers answers({QMessageBox::Discard});
        EXPECT_FALSE(RunOfferingRetry(nullptr, question, failTwice));
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(answers.texts.size(), 1u);
    }
    calls = 2;
    {
        BoxAnswers answers({QMessageBox::Discard});
        EXPECT_TRUE(RunOfferingRetry(nullptr, question, failTwice));  // works at once: no box
        EXPECT_EQ(calls, 3);
        EXPECT_TRUE(answers.texts.empty());
    }
}

// halvane's slot report: no cause in the undefined-error box.
LwSlotErrorReport NamelessReport()
{
    LwSlotErrorReport report;
    report.Style = LwUndefinedErrorStyle::NameEmpty;
    report.ShowWhat = false;
    return report;
}

// Each kind of exception ends a slot in the box its program shows, or in
// none; a slot that finishes shows nothing.
TEST(LwWindowUtilities, SlotFrameShowsEachErrorAsTheProgramReportsIt)
{
    LwSlotErrorReport silent = NamelessReport();
    silent.SayNothing = [] { return true; };
    LwSlotErrorReport speaking = NamelessReport();
    speaking.SayNothing = [] { return false; };
    struct Case
    {
        const char* name;
        std::function<void()> action;
        LwSlotErrorReport report;
        bool finished;
        std::vector<QString> boxes;
    };
    const std::function<void()> lwError = [] { throw LwError("Illigal Tag Structure"); };
    const std::function<void()> stdError = [] { throw std::runtime_error("bad"); };
    const std::function<void()> other = [] { throw 7; };
    const std::vector<Case> cases = {
        {"finishes", [] {}, LwSlotErrorReport{}, true, {}},
        {"LwError", lwError, LwSlotErrorReport{}, false, {"Illigal Tag Structure"}},
        {"std::exception", stdError, LwSlotErrorReport{}, false, {"Undefined error:bad"}},
        {"other", other, LwSlotErrorReport{}, false, {"Undefined error:"}},
        {"LwError, nameless", lwError, NamelessReport(), false, {"Illigal Tag Structure"}},
        {"std::exception, nameless", stdError, NamelessReport(), false, {"Undefined error:Undefined error"}},
        {"other, nameless", other, NamelessReport(), false, {"Undefined error:Undefined error"}},
        {"LwError, closing", lwError, silent, false, {}},
        {"std::exception, closing", stdError, silent, false, {}},
        {"other, closing", other, silent, false, {}},
        {"LwError, staying", lwError, speaking, false, {"Illigal Tag Structure"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // One answer more than expected, so that a surplus box is counted
        // rather than left open.
        BoxAnswers answers(std::vector<QMessageBox::StandardButton>(c.boxes.size() + 1, QMessageBox::Ok));
        EXPECT_EQ(RunShowingErrors(nullptr, c.action, c.report), c.finished);
        QCoreApplication::processEvents();
        EXPECT_EQ(answers.texts, c.boxes);
    }

    // The user chooses to close while the action runs: asked after it.
    bool closing = false;
    LwSlotErrorReport late;
    late.SayNothing = [&closing] { return closing; };
    BoxAnswers answers({QMessageBox::Ok});
    EXPECT_FALSE(RunShowingErrors(
        nullptr,
        [&closing] {
            closing = true;
            throw LwError("Illigal Tag Structure");
        },
        late));
    QCoreApplication::processEvents();
    EXPECT_TRUE(answers.texts.empty());
}

class UserCancel : public LwError
{
public:
    using LwError::LwError;
};

// The quiet kind ends the slot without a box; every other error is shown.
TEST(LwWindowUtilities, SlotFrameIsQuietOnTheCancelKindOnly)
{
    BoxAnswers answers({QMessageBox::Ok, QMessageBox::Ok});
    bool went = false;
    EXPECT_FALSE(RunShowingErrorsQuietOn<UserCancel>(
        nullptr, [] { throw UserCancel("The fit was cancelled"); }, NamelessReport()));
    EXPECT_TRUE(answers.texts.empty());
    EXPECT_FALSE(RunShowingErrorsQuietOn<UserCancel>(
        nullptr, [] { throw LwError("FILE CANNOT WRITE:x"); }, NamelessReport()));
    EXPECT_FALSE(RunShowingErrorsQuietOn<UserCancel>(
        nullptr, [] { throw 7; }, NamelessReport()));
    EXPECT_TRUE(RunShowingErrorsQuietOn<UserCancel>(
        nullptr, [&went] { went = true; }, NamelessReport()));
    EXPECT_TRUE(went);
    EXPECT_EQ(answers.texts,
              (std::vector<QString>{"FILE CANNOT WRITE:x", "Undefined error:Undefined error"}));
}

// An ini file that cannot be written is shown once per reporter, with the
// reporter's addendum, and never stops the caller; a write that works shows
// nothing.
TEST(LwWindowUtilities, IniWriteFailureIsShownOncePerReporter)
{
    int writes = 0;
    const auto failing = [&writes] {
        ++writes;
        throw LwError("FILE CANNOT WRITE:/ro/prog.ini");
    };
    // An answer for every failing write, so that a box too many is counted
    // rather than left open.
    BoxAnswers answers(std::vector<QMessageBox::StandardButton>(4, QMessageBox::Ok));
    LwIniWriteReporter withAddendum("\nThe settings are not kept for the next start.");
    EXPECT_FALSE(withAddendum.Write(nullptr, failing));
    EXPECT_FALSE(withAddendum.Write(nullptr, failing));
    EXPECT_TRUE(withAddendum.Write(nullptr, [&writes] { ++writes; }));
    LwIniWriteReporter bare;
    EXPECT_FALSE(bare.Write(nullptr, failing));
    EXPECT_FALSE(bare.Write(nullptr, failing));
    EXPECT_EQ(writes, 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(
        answers.texts,
        (std::vector<QString>{"FILE CANNOT WRITE:/ro/prog.ini\nThe settings are not kept for the next start.",
                              "FILE CANNOT WRITE:/ro/prog.ini"}));
}

}  // namespace
