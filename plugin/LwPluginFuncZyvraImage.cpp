// Images to and from the viewer through shared-memory blocks.
//
// Block layout (both directions, little-endian, no gaps): ColSize, RowSize,
// ColBegin, RowBegin as 32-bit signed integers at offsets 0, 4, 8, 12, then
// ColSize x RowSize floats from offset 16 in the storage order of
// LwFloatMatrix. Both sides hold the block's lock while they write or read
// it. The viewer's block is another process's memory: its header is checked
// against the block's size in 64-bit arithmetic before a single pixel is
// copied, and the block is unlocked and detached on every path.
#include "core/LwError.h"
#include "core/LwMemoryPages.h"
#include "plugin/LwPluginErrors.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <QCoreApplication>
#include <QSharedMemory>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

const char* const kImageGet = "void LwPluginFuncZyvra::ImageGet(int32_t, LwFloatMatrix&, bool)";
const char* const kImageGetBySharedMemory =
    "void LwPluginFuncZyvra::ImageGetBySharedMemory(int32_t, LwFloatMatrix&)";

constexpr std::int64_t kHeaderBytes = 16;
// Keys tried for one image block before a send gives up (see ImageSet).
constexpr int kImageKeyAttempts = 8;

// A viewer block attached read-only for the life of the object.
class AttachedBlock
{
public:
    explicit AttachedBlock(const std::string& key) : block_(QString::fromStdString(key))
    {
        if (!block_.attach(QSharedMemory::ReadOnly))
            throw LwError("Cannot attach to Shared Memory" + key);
    }
    ~AttachedBlock() { block_.detach(); }
    AttachedBlock(const AttachedBlock&) = delete;
    AttachedBlock& operator=(const AttachedBlock&) = delete;
    QSharedMemory& Block() { return block_; }

private:
    QSharedMemory block_;
};

// The block's lock for the life of the object.
class BlockLock
{
public:
    explicit BlockLock(QSharedMemory& block) : block_(block), locked_(block.lock()) {}
    ~BlockLock()
    {
        if (locked_)
            block_.unlock();
    }
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;

private:
    QSharedMemory& block_;
    bool locked_;
};

}  // namespace

void LwPluginFuncZyvra::ImageGet(std::int32_t window, LwFloatMatrix& image, bool nanToZero)
{
    LwPluginErrors::Wrap(kImageGet, [&] {
        if (useSharedMemory_) {
            ImageGetBySharedMemory(window, image);
        } else {
            Call(LwCmdPackUnpack::CmdImageGet, &window, nullptr,
                 [&](LwCmdPackUnpack& reply) { reply.Packer().PackUnpackFloatMatrix("image", image, "b"); });
        }
        if (nanToZero) {
            float* p = image.Buffer();
            for (int i = 0; i < image.ElementCount(); ++i)
                if (std::isnan(p[i]))
                    p[i] = 0.0f;
        }
    });
}

void LwPluginFuncZyvra::ImageGetBySharedMemory(std::int32_t window, LwFloatMatrix& image)
{
    LwPluginErrors::Wrap(kImageGetBySharedMemory, [&] {
        LwCmdPackUnpack request("w", table_);
        LwCmdPackUnpack reply("r", table_);
        request.OpenCmd();
        request.SetFunctionNumber(LwCmdPackUnpack::CmdFIImageGetBySharedMemory);
        request.PackUnpackWindowID(window);
        request.CloseCmd();
        SendRecv(request, reply);

        reply.OpenCmd();
        std::string returnCode;
        reply.StringValue("ReturnCode", returnCode);
        if (returnCode != "ok")
            throw LwError(returnCode);
        std::string key;
        reply.StringValue("key", key);

        LwFloatMatrix received;
        bool inPlace = false;
        {
            AttachedBlock attached(key);
            QSharedMemory& block = attached.Block();
            const std::int64_t size = block.size();
            if (size < kHeaderBytes)
                throw LwError("NO DATA");
            BlockLock lock(block);
            const char* bytes = static_cast<const char*>(block.constData());
            std::int32_t header[4];
            std::memcpy(header, bytes, sizeof header);
            const std::int32_t cols = header[0], rows = header[1];
            if (cols < 0 && rows < 0)
                throw LwError("matrix creation Parameter Error");
            if (cols < 0 || rows < 0)
                received.GetMemory(cols, rows);  // "Matrix Parameter Error"
            // Both sizes are 32-bit, so the 64-bit product is exact; it is
            // compared with the pixel count the block holds, since four times
            // it can overflow 64 bits.
            const std::int64_t count = static_cast<std::int64_t>(cols) * rows;
            if (count > (size - kHeaderBytes) / 4)
                throw LwError("NO DATA");
            LwMemoryPages::Prefault(bytes, static_cast<std::size_t>(kHeaderBytes + 4 * count),
                                    LwMemoryPages::Access::Read);
            // An image that holds as many pixels already takes them in its
            // own buffer (warm memory, no allocation that could fail and
            // leave it changed). Otherwise the pixels go to a new matrix that
            // replaces the image at the end, so a failed allocation leaves
            // the image as it was.
            inPlace = image.Buffer() != nullptr && count == image.ElementCount();
            LwFloatMatrix* target = inPlace ? &image : &received;
            target->GetMemory(cols, rows);
            target->ColBegin = header[2];
            target->RowBegin = header[3];
            target->FastReturn = false;
            if (count != 0)
                std::memcpy(target->Buffer(), bytes + kHeaderBytes, static_cast<std::size_t>(4 * count));
        }
        reply.CloseCmd();
        if (!inPlace)
            image = received.Release(true);
    });
}

std::string LwPluginFuncZyvra::NewImageKey()
{
    // The milliseconds alone repeat for two sends within one millisecond and
    // for two programs started together; the process id and a serial number
    // make the key unique.
    return "IMAGESET" + std::to_string(clock_.elapsed()) + "_" +
           std::to_string(QCoreApplication::applicationPid()) + "_" + std::to_string(++imageSerial_);
}

void LwPluginFuncZyvra::ImageSet(std::int32_t window, const LwFloatMatrix& image)
{
    if (table_ == LwCommandTable::Halvane && (image.ColSize == 0 || image.RowSize == 0))
        throw LwError("Image size is Zero");
    if (!useSharedMemory_) {
        LwFloatMatrix copy = image;
        Call(
            LwCmdPackUnpack::CmdImageSet, &window,
            [&](LwCmdPackUnpack& request) { request.Packer().PackUnpackFloatMatrix("image", copy, "b"); },
            nullptr);
        return;
    }
    // The block of the previous send is given up only now: the viewer may
    // read a block at any time until the next send.
    if (!imageBlock_)
        imageBlock_ = std::make_unique<QSharedMemory>();
    imageBlock_->detach();
    lastImageKey_.clear();
    const std::int64_t count = static_cast<std::int64_t>(image.ColSize) * image.RowSize;
    const std::int64_t bytes = kHeaderBytes + 4 * count;
    if (bytes > std::numeric_limits<int>::max())
        throw LwError("Shared Memory cannot create");
    // On Unix QSharedMemory reaches its System V segment through ftok(),
    // which keeps only 16 bits of an inode number, so an unused key can still
    // meet a segment that another key made. Such a clash is answered with a
    // fresh key; any other failure ends the send.
    std::string key;
    bool created = false;
    for (int attempt = 0; attempt < kImageKeyAttempts && !created; ++attempt) {
        key = NewImageKey();
        imageBlock_->setKey(QString::fromStdString(key));
        created = imageBlock_->create(static_cast<int>(bytes));
        if (!created && imageBlock_->error() != QSharedMemory::AlreadyExists)
            break;
    }
    if (!created)
        throw LwError("Shared Memory cannot create");

    LwCmdPackUnpack request("w", table_);
    LwCmdPackUnpack reply("r", table_);
    request.OpenCmd();
    request.SetFunctionNumber(LwCmdPackUnpack::CmdFIImageSetBySharedMemory);
    request.PackUnpackWindowID(window);
    std::string keyText = key;
    request.StringValue("key", keyText);

    lastImageKey_ = key;
    {
        BlockLock lock(*imageBlock_);
        char* data = static_cast<char*>(imageBlock_->data());
        LwMemoryPages::Prefault(data, static_cast<std::size_t>(bytes), LwMemoryPages::Access::Write);
        const std::int32_t header[4] = {image.ColSize, image.RowSize, image.ColBegin, image.RowBegin};
        std::memcpy(data, header, sizeof header);
        if (count != 0)
            std::memcpy(data + kHeaderBytes, image.Buffer(), static_cast<std::size_t>(4 * count));
    }
    request.CloseCmd();
    SendRecv(request, reply);
}
