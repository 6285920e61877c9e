#pragma once
// The X tools that the tests which run a program on an X server drive it
// with: xdotool for windows, clicks and keys, xwd for screenshots, each run
// to its end on the test's display.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <cstdint>

class XTools
{
public:
    explicit XTools(const QString& display) : display_(display) {}

    static bool Installed(const QStringList& tools)
    {
        for (const QString& tool : tools)
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return false;
        return true;
    }

    // Runs `program` to its end (killed after `timeoutMs`); its standard
    // output.
    QString Run(const QString& program, const QStringList& args, int timeoutMs = 20000) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished(1000);
        }
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose name matches `pattern`; empty when
    // there is none.
    QString FindWindow(const QString& pattern) const
    {
        const QString ids = Run("xdotool", {"search", "--onlyvisible", "--name", pattern});
        return ids.isEmpty() ? QString() : ids.split('\n').front();
    }
    // The first visible window whose name matches `pattern`, waiting up to
    // `ms`; empty when none came.
    QString WaitWindow(const QString& pattern, int ms = 20000) const
    {
        for (int waited = 0; waited < ms; waited += 100) {
            const QString id = FindWindow(pattern);
            if (!id.isEmpty())
                return id;
            QThread::msleep(100);
        }
        return QString();
    }
    // Waits until no visible window matches `pattern`.
    bool WaitGone(const QString& pattern, int ms = 20000) const
    {
        for (int waited = 0; waited < ms; waited += 100) {
            if (FindWindow(pattern).isEmpty())
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    void Click(const QString& window, int x, int y) const
    {
        Run("xdotool", {"mousemove", "--window", window, QString::number(x), QString::number(y)});
        QThread::msleep(150);
        Run("xdotool", {"click", "1"});
        QThread::msleep(300);
    }
    // The pointer over the window and the keyboard focus on it.
    void Focus(const QString& window) const
    {
        Run("xdotool", {"mousemove", "--window", window, "40", "40"});
        Run("xdotool", {"windowfocus", window});
        QThread::msleep(300);
    }
    void Keys(const QString& window, const QStringList& keys) const
    {
        Focus(window);
        for (const QString& k : keys) {
            Run("xdotool", {"key", k});
            QThread::msleep(1000);
        }
    }
    void Type(const QString& window, const QString& text) const
    {
        Focus(window);
        Run("xdotool", {"type", "--delay", "20", text});
    }
    QRect Geometry(const QString& window) const
    {
        const QString text = Run("xdotool", {"getwindowgeometry", "--shell", window});
        auto value = [&text](const char* key) {
            const QRegularExpressionMatch m = QRegularExpression(QString(key) + "=(\\d+)").match(text);
            return m.hasMatch() ? m.captured(1).toInt() : 0;
        };
        return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
    }
    // The whole screen (`window` empty) or one window as xwd writes it into
    // `scratch`; a null image when xwd failed.
    QImage Grab(const QString& scratch, const QString& window = QString()) const
    {
        QStringList args = {"-silent", "-out", scratch};
        args << (window.isEmpty() ? QStringList{"-root"} : QStringList{"-id", window});
        QFile::remove(scratch);
        Run("xwd", args);
        return ReadXwd(scratch);
    }

    // An XWD dump in true colour (ZPixmap, 24 or 32 bits per pixel, either
    // byte order) as an image; a null image for anything else.
    static QImage ReadXwd(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QImage();
        const QByteArray d = file.readAll();
        if (d.size() < 100)
            return QImage();
        auto card = [&d](int i) {
            const auto* b = reinterpret_cast<const unsigned char*>(d.constData() + 4 * i);
            return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
                   b[3];
        };
        const std::uint32_t headerSize = card(0), width = card(4), height = card(5), byteOrder = card(7);
        const std::uint32_t bpp = card(11), bytesPerLine = card(12), ncolors = card(19);
        const std::uint32_t rMask = card(14), gMask = card(15), bMask = card(16);
        const qint64 offset = headerSize + 12 * qint64(ncolors);
        if (bpp != 24 && bpp != 32)
            return QImage();
        if (d.size() < offset + qint64(bytesPerLine) * height)
            return QImage();
        auto shift = [](std::uint32_t mask) {
            int s = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++s;
            }
            return s;
        };
        QImage image(int(width), int(height), QImage::Format_RGB32);
        const int bytes = int(bpp / 8);
        for (std::uint32_t y = 0; y < height; ++y) {
            const auto* line =
                reinterpret_cast<const unsigned char*>(d.constData() + offset + qint64(y) * bytesPerLine);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint32_t p = 0;
                for (int k = 0; k < bytes; ++k) {
                    const std::uint32_t byte = line[x * bytes + k];
                    p |= byteOrder == 0 ? byte << (8 * k) : byte << (8 * (bytes - 1 - k));
                }
                image.setPixel(int(x), int(y),
                               qRgb((p & rMask) >> shift(rMask), (p & gMask) >> shift(gMask),
                                    (p & bMask) >> shift(bMask)));
            }
        }
        return image;
    }

    // Pixels that are neither the window grey nor white: text, frames,
    // images.
    static int DrawnPixels(const QImage& image)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qGray(image.pixel(x, y)) < 128;
        return n;
    }

private:
    QString display_;
};
