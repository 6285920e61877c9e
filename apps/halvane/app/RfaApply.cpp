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
#include <optional>
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

// One image from window `source` (non-finite pixels as 0) through
// RfaParameters::ApplyCheckedSteps, with the source's keys and one more log,
// computed and kept, not yet sent: a cancelled fit (RfaCancelled) leaves
// the viewer untouched.
struct RfaCheckedImage
{
    RfaCheckedImage(const RfaParameters& record, LwPluginFuncZyvra& client, std::int32_t source,
                    const RfaProgress& progress)
        : input(client, source), output(client, source, record.Version_, input.infinitePixels)
    {
        record.ApplyCheckedSteps(input.image, output.Log(), progress);
        log = output.CloseLog();
    }

    RfaSourceImage input;  // the result once the steps have run
    RfaStepOutput output;
    std::string log;
    const LwFloatMatrix& image = input.image;
};

// "Image <i + 1> of <n> of the series", with the image's file once it is
// known (`named`).
std::string SeriesImageName(std::int32_t i, std::int32_t n, const std::string& file, bool named)
{
    std::string text = "Image " + std::to_string(i + 1) + " of " + std::to_string(n) + " of the series";
    if (named)
        text += file.empty() ? " (no file name)" : " (" + file + ")";
    return text;
}

// What a series stopped at image `stopped` (0-based, at least 1) has saved
// with the index file `index`.
std::string SavedImagesText(std::int32_t stopped, const std::string& index)
{
    const std::string images =
        stopped == 1 ? "Image 1 is" : "Images 1 to " + std::to_string(stopped) + " are";
    return images + " saved with " + index;
}

// Folder paths compared as the file system names them.
QString CleanFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

void ApplyCheckedNewImage(const RfaParameters& record, QWidget* parent, LwPluginFuncZyvra& client)
{
    const std::int32_t id = FocusedImageWindow(client);
    if (client.GetIsModeSeries(id)) {
        QMessageBox box(QMessageBox::NoIcon, "Information", "Process All images?",
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setWindowModality(Qt::WindowModal);
        if (box.exec() == QMessageBox::Yes) {
            ProcessSeries(record, parent, client, id);
            return;
        }
    }
    RfaOperationProgress progress("New Image (Apply checked operations)", parent);
    const RfaCheckedImage result(record, client, id, progress.Callback());
    RfaResultWindow window;
    RfaSendWhole([&] {
        result.output.Send(window.Get(client), result.image);
        client.UpdateAll();
    });
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
    // The new series window is made with the first entry's send, once the
    // first image has gone through the steps: parameters that do not suit
    // the images are refused before it, and leave no empty series behind.
    std::int32_t destination = -1;
    std::uint64_t destinationConnection = 0;

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
            // Every error names the image; a cancel stops the series quietly.
            std::string name;
            bool named = false;
            try {
                IndexRequest(client, LwCmdPackUnpack::CmdSeriesImageIndexSetWithLoadImage, source, i);
                bool isLoaded = false, isSuccess = false;
                for (int round = 0; round < 1000; ++round) {
                    if (client.IsCancel())
                        throw LwError("Canceled.");
                    if (isLoaded || RfaIsStopped(progress))
                        break;
                    QThread::msleep(100);
                    QCoreApplication::processEvents();
                    client.GetIsLoaded(isLoaded, isSuccess);
                }
                if (RfaIsStopped(progress))
                    break;
                name = fileName();
                named = true;
                if (!isSuccess)
                    throw LwError("File cannot be loaded.");

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
                    throw LwError("The image has no file name");
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
                std::optional<RfaCheckedImage> result;
                try {
                    result.emplace(record, client, source, fitProgress);
                } catch (const RfaCancelled&) {
                    break;
                }
                // The per-index keys carry the log too, so that it survives
                // whichever of the two key sets the saved series keeps.
                textKeys["log"].push_back(result->log);
                // The entry is saved whole or not at all: its image, keys,
                // file and the renewed index go out together, and are offered
                // again when a send fails; Discard stops the series.
                // A viewer that lost the output series window (it was closed,
                // or the viewer restarted, and the source series with it)
                // ends the series with a word on what was saved.
                bool outputLost = false;
                RfaSendWhole(
                    [&] {
                        if (destination >= 0 && (!client.GetIsModeSeries(destination) ||
                                                 client.ConnectionCount() != destinationConnection)) {
                            // Before the first entry is saved the window is
                            // simply made again.
                            if (i > 0) {
                                outputLost = true;
                                return;
                            }
                            destination = -1;
                        }
                        if (destination < 0) {
                            destination = client.SeriesNewWindow(QStringToStdString(index), "image");
                            destinationConnection = client.ConnectionCount();
                        }
                        client.SeriesImageIndexSet(destination, i);
                        result->output.Send(destination, result->image);
                        client.SeriesIndexKeyDoubleSet(destination, i, numberKeys);
                        IndexRequest(client, LwCmdPackUnpack::CmdSeriesIndexKeyStringSet, destination, i,
                                     [&](LwCmdPackUnpack& r) {
                                         r.Packer().PackUnpackStringMap("SeriesIndexKeyString", textKeys);
                                     });
                        client.SeriesImageSave(destination, i, base);
                        client.Call(LwCmdPackUnpack::CmdSeriesSaveRenew, &destination, nullptr, nullptr);
                    },
                    StdStringToQString(SeriesImageName(i, n, name, named)) +
                        " is computed and kept. Send it to the image viewer again?");
                if (outputLost)
                    throw LwError("The image viewer no longer has the output series window (was it "
                                  "closed, or the viewer restarted?).\n" +
                                  SavedImagesText(i, QStringToStdString(index)) +
                                  "; this image and the ones after it are not.");
            } catch (const RfaCancelled&) {
                throw;
            } catch (const LwError& e) {
                throw LwError(SeriesImageName(i, n, name, named) + ":\n" + e.Message());
            }
        }
    } catch (...) {
        progress.close();
        throw;
    }
    progress.close();
}
