// "New Image (Apply checked operations)" on one image or on every image of a
// series.
#include "core/LwError.h"
#include "fgraph/LwWindowUtilities.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/RfaOperations.h"
#include "apps/halvane/app/RfaParametersForm.h"
#include "apps/halvane/app/RfaProgressDialog.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// One request of `command` on `window` with the series index `index`, `more`
// packing further arguments after it.
void IndexRequest(LwPluginFuncZyvra& client, std::int32_t command, std::int32_t window, std::int32_t index,
                  const std::function<void(LwCmdPackUnpack&)>& more = nullptr,
                  const std::function<void(LwCmdPackUnpack&)>& results = nullptr)
{
    client.Call(
        command, &window,
        [&](LwCmdPackUnpack& r) {
            r.PackUnpackIndex(index);
            if (more)
                more(r);
        },
        results);
}

// Folder paths compared as the file system names them.
QString CleanFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

std::string ApplyChecked(const RfaParameters& record, LwPluginFuncZyvra& client, std::int32_t source,
                         const std::function<std::int32_t()>& openDestination, const RfaProgress& progress)
{
    RfaSourceImage input(client, source);
    RfaStepOutput output(client, source, record.Version_, input.infinitePixels);
    record.ApplyCheckedSteps(input.image, output.Log(), progress);
    const std::string text = output.CloseLog();
    output.Send(openDestination(), input.image);
    return text;
}

void ApplyCheckedNewImage(const RfaParameters& record, QWidget* parent, LwPluginFuncZyvra& client)
{
    const std::int32_t id = FocusedImageWindow(client);
    bool isSeries = false;
    client.Call(LwCmdPackUnpack::CmdGetIsModeSeries, &id, nullptr,
                [&](LwCmdPackUnpack& r) { r.Packer().PackUnpackBool("isModeSeries", isSeries); });
    if (isSeries) {
        QMessageBox box(QMessageBox::NoIcon, "Information", "Process All images?",
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setWindowModality(Qt::WindowModal);
        if (box.exec() == QMessageBox::Yes) {
            ProcessSeries(record, parent, client, id);
            return;
        }
    }
    RfaOperationProgress progress("New Image (Apply checked operations)", parent);
    ApplyChecked(
        record, client, id, [&client] { return client.ImageNewWindow(); }, progress.Callback());
    client.UpdateAll();
}

void ProcessSeries(const RfaParameters& record, QWidget* parent, LwPluginFuncZyvra& client,
                   std::int32_t source)
{
    const QString index = GetSaveFileNameQString(parent, "Please move to output folder",
                                                 "index (*.xmlsrs *.*)", "_index.xmlsrs");
    if (index.isEmpty())
        return;
    const QString outputFolder = CleanFolder(QFileInfo(index).absolutePath());
    // The images usually share one folder: an output folder that is the
    // current image's is refused before the new series window is made.
    // Each image is checked again below, since a series may span folders.
    auto refuseSourceFolder = [&outputFolder](const std::string& name) {
        const QString sourceFolder = StdStringToQString(GetDirectoryPart(name));
        if (!sourceFolder.isEmpty() && CleanFolder(sourceFolder) == outputFolder)
            throw LwError("The output folder is the folder of the source images: " +
                          QStringToStdString(outputFolder));
    };
    auto fileName = [&client, source] {
        std::string name;
        client.Call(LwCmdPackUnpack::CmdGetFileName, &source, nullptr,
                    [&](LwCmdPackUnpack& r) { r.PutFilenameUtf8(name); });
        return name;
    };
    const std::int32_t n = client.SeriesGetCount(source);
    if (n > 0)
        refuseSourceFolder(fileName());
    const std::int32_t destination = client.SeriesNewWindow(QStringToStdString(index), "image");

    // One measure: the bar runs over the whole series, kStepsPerImage steps
    // per image, moved within an image by its fit; the label names the image.
    constexpr int kStepsPerImage = 1000;
    QProgressDialog progress(parent);
    progress.setMaximum(std::max(1, n) * kStepsPerImage);
    progress.setLabelText(QString("Image 1 of %1").arg(n));
    progress.setValue(0);
    RfaShowProgressAtOnce(progress);
    std::set<std::string> bases;
    try {
        for (std::int32_t i = 0; i < n; ++i) {
            progress.setLabelText(QString("Image %1 of %2").arg(i + 1).arg(n));
            progress.setValue(i * kStepsPerImage);
            if (!RfaKeepProgressAlive(progress))
                break;

            IndexRequest(client, LwCmdPackUnpack::CmdSeriesImageIndexSetWithLoadImage, source, i);
            bool isLoaded = false, isSuccess = false;
            for (int round = 0; round < 1000; ++round) {
                if (client.IsCancel())
                    throw LwError("Canceled.");
                if (isLoaded || progress.wasCanceled())
                    break;
                QThread::msleep(100);
                QCoreApplication::processEvents();
                client.GetIsLoaded(isLoaded, isSuccess);
            }
            if (progress.wasCanceled())
                break;
            if (!isSuccess)
                throw LwError("File cannot be loaded.");

            const std::string name = fileName();
            LwInfoValueMap numberKeys;
            LwInfoStringMap textKeys;
            IndexRequest(client, LwCmdPackUnpack::CmdSeriesIndexKeyDoubleGet, source, i, nullptr,
                         [&](LwCmdPackUnpack& r) {
                             r.Packer().PackUnpackDoubleMap("SeriesIndexKeyDouble", numberKeys);
                         });
            IndexRequest(client, LwCmdPackUnpack::CmdSeriesIndexKeyStringGet, source, i, nullptr,
                         [&](LwCmdPackUnpack& r) {
                             r.Packer().PackUnpackStringMap("SeriesIndexKeyString", textKeys);
                         });
            std::string base = GetFileName(name);

            // Never overwrite a source image or an earlier output.
            if (base.empty())
                throw LwError("Image " + std::to_string(i) + " of the series has no file name");
            if (!bases.insert(base).second)
                throw LwError("Two images of the series have the file name " + base);
            refuseSourceFolder(name);

            client.UpdateAll();
            // The fit moves the bar within the image's share; Cancel stops
            // the series as between images.
            const RfaProgress fitProgress = [&](int done, int total) {
                const int share =
                    total > 0 ? static_cast<int>(static_cast<long long>(kStepsPerImage) * done / total)
                              : kStepsPerImage;
                progress.setValue(i * kStepsPerImage + std::min(share, kStepsPerImage - 1));
                return RfaKeepProgressAlive(progress);
            };
            std::string log;
            try {
                log = ApplyChecked(
                    record, client, source,
                    [&] {
                        client.SeriesImageIndexSet(destination, i);
                        return destination;
                    },
                    fitProgress);
            } catch (const RfaCancelled&) {
                break;
            }
            // The per-index keys carry the log too, so that it survives
            // whichever of the two key sets the saved series keeps.
            textKeys["log"].push_back(log);
            client.SeriesIndexKeyDoubleSet(destination, i, numberKeys);
            IndexRequest(client, LwCmdPackUnpack::CmdSeriesIndexKeyStringSet, destination, i,
                         [&](LwCmdPackUnpack& r) {
                             r.Packer().PackUnpackStringMap("SeriesIndexKeyString", textKeys);
                         });
            client.SeriesImageSave(destination, i, base);
            client.Call(LwCmdPackUnpack::CmdSeriesSaveRenew, &destination, nullptr, nullptr);
        }
    } catch (...) {
        progress.close();
        throw;
    }
    progress.close();
}
