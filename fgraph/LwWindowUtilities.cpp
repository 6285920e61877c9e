#include "fgraph/LwWindowUtilities.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "fgraph/LwQuitOnSignals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstring>
#include <exception>
#include <locale>
#include <utility>

const char* const kFileNameCtypeLocale = "C.UTF-8";

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& text, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle("ERROR");
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

QString UndefinedErrorText(const QString& message, LwUndefinedErrorStyle style)
{
    QString text = message;
    if (text.isEmpty() && style == LwUndefinedErrorStyle::NameEmpty)
        text = "Undefined error";
    return QString("Undefined error:") + text;
}

void ShowErrorBox(const std::string& message, QWidget* parent)
{
    if (LwQuitOnSignals::IsQuitRequested()) {
        qWarning().noquote() << StdStringToQString(message);
        return;
    }
    MakeErrorBox(StdStringToQString(message), parent)->exec();
}

void ShowUndefinedErrorBox(const QString& message, QWidget* parent, LwUndefinedErrorStyle style)
{
    ShowErrorBox(QStringToStdString(UndefinedErrorText(message, style)), parent);
}

bool RunShowingErrors(QWidget* parent, const std::function<void()>& action, const LwSlotErrorReport& report)
{
    const auto sayNothing = [&report] { return report.SayNothing && report.SayNothing(); };
    try {
        action();
        return true;
    } catch (const LwError& e) {
        if (!sayNothing())
            ShowErrorBox(e.Message(), parent);
    } catch (const std::exception& e) {
        if (!sayNothing())
            ShowUndefinedErrorBox(report.ShowWhat ? QString::fromLocal8Bit(e.what()) : QString(), parent,
                                  report.Style);
    } catch (...) {
        if (!sayNothing())
            ShowUndefinedErrorBox(QString(), parent, report.Style);
    }
    return false;
}

LwIniWriteReporter::LwIniWriteReporter(std::string addendum) : addendum_(std::move(addendum)) {}

bool LwIniWriteReporter::Write(QWidget* parent, const std::function<void()>& write)
{
    try {
        write();
        return true;
    } catch (const LwError& e) {
        qWarning().noquote() << QString::fromStdString(e.Message());
        if (!shown_) {
            shown_ = true;
            ShowErrorBox(e.Message() + addendum_, parent);
        }
    }
    return false;
}

bool RunOfferingRetry(QWidget* parent, const QString& question, const std::function<void()>& action)
{
    while (true) {
        QString text;
        try {
            action();
            return true;
        } catch (const LwError& e) {
            text = StdStringToQString(e.Message());
        } catch (const std::exception& e) {
            text = UndefinedErrorText(QString::fromLocal8Bit(e.what()), LwUndefinedErrorStyle::KeepEmpty);
        } catch (...) {
            text = UndefinedErrorText(QString(), LwUndefinedErrorStyle::KeepEmpty);
        }
        if (LwQuitOnSignals::IsQuitRequested())
            return false;
        const std::unique_ptr<QMessageBox> box = MakeErrorBox(text + "\n\n" + question, parent);
        box->setStandardButtons(QMessageBox::Retry | QMessageBox::Discard);
        box->setDefaultButton(QMessageBox::Retry);
        if (box->exec() != QMessageBox::Retry)
            return false;
    }
}

bool RunSendingWhole(QWidget* parent, const QString& question, const std::function<void()>& send)
{
    if (LwQuitOnSignals::IsQuitRequested())
        return false;
    const LwQuitOnSignals::Deferral whole;
    return RunOfferingRetry(parent, question, send);
}

void ShowStartUpReports(const std::vector<std::string>& reports, QWidget* window)
{
    if (reports.empty())
        return;
    std::string text;
    for (const std::string& r : reports)
        text += (text.empty() ? "" : "\n") + r;
    QPointer<QWidget> target(window);
    QTimer::singleShot(0, window, [text, target] { ShowErrorBox(text, target); });
}

QString ReplaceExtensionQString(const QString& path, const QString& extension)
{
    return StdStringToQString(ReplaceExtension(QStringToStdString(path), QStringToStdString(extension)));
}

QString GetFileNameQString(const QString& path)
{
    return StdStringToQString(GetFileName(QStringToStdString(path)));
}

QString GetDirectoryPartQString(const QString& path)
{
    return StdStringToQString(GetDirectoryPart(QStringToStdString(path)));
}

QString FileNameExtensionQString(const QString& path)
{
    return StdStringToQString(FileNameExtension(QStringToStdString(path)));
}

QString FileNameDirectoryQString(const QString& path)
{
    return StdStringToQString(FileNameDirectory(QStringToStdString(path)));
}

QString GetIniFileName(const QString& extension)
{
    SetGlobalLocaleJapanese();
    return ReplaceExtensionQString(QCoreApplication::applicationFilePath(), extension);
}

void SetGlobalLocaleJapanese()
{
    std::locale::global(std::locale(std::locale(), kFileNameCtypeLocale, std::locale::ctype));
}

std::string QStringToStdString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), strnlen(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString StdStringToQString(const std::string& text)
{
    return QString::fromUtf8(text.c_str(), static_cast<int>(strnlen(text.c_str(), text.size())));
}
