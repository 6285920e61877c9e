// What the graph hands out: the scene painted on a device, the clipboard
// image, the CSV texts of its items and the PDF page.

#include "core/LwError.h"
#include "fgraph/LwFGraph.h"
#include "fgraph/LwWindowUtilities.h"
#include "fgraph/QGraphicsSceneFG.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTextStream>

#include <locale>
#include <sstream>

void LwFGraphImpl::Render(QPaintDevice* device)
{
    QPainter painter;
    if (!device || !painter.begin(device))
        throw LwError("ERROR: FGraph::Render : QPainter::begin");
    try {
        if (!scene_)
            throw LwError("no scene");
        scene_->render(&painter, QRectF(), QRectF(), Qt::KeepAspectRatio);
    } catch (...) {
        painter.end();
        throw LwError("ERROR: FGraph::Render : Print out");
    }
    painter.end();
}

void LwFGraphImpl::CopyToClipboard()
{
    if (!view_ || !scene_)
        return;
    QImage image(view_->width(), view_->height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setTransform(ViewMatrix);
    // The whole image in the painter's scene-pixel coordinates.
    const QRectF target(0, 0, image.width() / ViewMatrix.m11(), image.height() / ViewMatrix.m22());
    scene_->render(&painter, target, QRectF(), Qt::KeepAspectRatio);
    painter.end();
    QApplication::clipboard()->setImage(image);
}

QString FGraphCsvText(const LwFloatMatrix& m, const LwFGraphCsvFormat& format)
{
    if (m.ColSize <= 0)
        return QString();
    std::ostringstream s;
    s.imbue(std::locale::classic());
    for (const std::string& line : format.Header)
        s << line << format.LineEnd;
    for (int r = 0; r < m.RowSize; ++r) {
        for (int c = 0; c < m.ColSize; ++c) {
            if (c > 0)
                s << format.Separator;
            s << m(m.ColBegin + c, m.RowBegin + r);
        }
        s << format.LineEnd;
    }
    return QString::fromStdString(s.str());
}

void LwFGraphImpl::SaveCsv(const QString& path)
{
    std::vector<QString> texts;
    for (const auto& entry : ItemSet.Items)
        texts.push_back(FGraphCsvText(entry.second.Data));
    if (texts.empty())
        return;

    std::vector<QString> names;
    if (texts.size() == 1) {
        names.push_back(path);
    } else {
        SetGlobalLocaleJapanese();
        const QString extension = FileNameExtensionQString(path);
        for (std::size_t i = 0; i < texts.size(); ++i)
            names.push_back(ReplaceExtensionQString(path, QString::number(i) + "." + extension));
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        QFile file(names[i]);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            continue;
        QTextStream out(&file);
        out << texts[i];
    }
}

void LwFGraphImpl::SavePdf(const QString& path)
{
    if (!view_ || !scene_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QSizeF(view_->width(), view_->height()), QPageSize::Point, QString(),
                                  QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    printer.setFullPage(true);
    printer.setOutputFileName(path);
    Render(&printer);
}
