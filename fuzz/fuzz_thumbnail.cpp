// The thumbnail of a picture someone sent: any bytes in, and out either a picture that
// fits the box or a refusal with a word, never both, never a crash, never more memory
// than the limits allow.
#include "Require.h"
#include "transfer/Thumbnail.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QGuiApplication app(*argc, *argv); // image plugins need one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Small limits, so that a picture the fuzzer grows stays cheap to decode.
    thumbnail::Limits limits;
    limits.maxSide = 4096;
    limits.maxPixels = 4 << 20;
    limits.allocationMb = 64;
    const QSize box(48, 32);
    const thumbnail::Result r = thumbnail::make(bytes, box, limits);
    require(r.image.isNull() != r.word.isEmpty(), "a picture and a refusal, or neither");
    if (!r.image.isNull()) {
        require(r.image.width() <= box.width() && r.image.height() <= box.height(),
                "a thumbnail larger than its box");
        require(r.whole.width() <= limits.maxSide && r.whole.height() <= limits.maxSide &&
                    qint64(r.whole.width()) * r.whole.height() <= limits.maxPixels,
                "a picture past the limits was decoded");
    }
    return 0;
}
