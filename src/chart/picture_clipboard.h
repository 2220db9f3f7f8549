#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <memory>

#include "chart/excel_binding.h"
#include "platform/safe_file.h"
#include "platform/seams.h"
#include "spreadsheet/picture_shapes.h"
#include "spreadsheet/worksheet.h"

// The picture of a cell range on the clipboard and in files: the engine's CopyPicture lands here.
namespace rw::chart {

// Pictures up to this many pixels (and up to kMaxRasterSide on each side) also go to the clipboard as PNG,
// so programs without SVG can paste them; larger ones would take too long and too much memory.
inline constexpr qint64 kMaxRasterPixels = 8'000'000;
inline constexpr int kMaxRasterSide = 16384;

// Makes Tahoma available to Qt's text drawing when the system lacks it but a copy of the face is installed
// (Debian's fonts-wine). Needs a QGuiApplication; does nothing without one, and only once.
void registerPictureFonts();

// The picture's SVG as Qt's SVG renderer should get it: Qt takes a font-family list as one name and so
// would miss Tahoma; here each text names its first family alone (Qt falls back by itself when the system
// lacks that face).
QByteArray pictureForQtRenderer(const QByteArray& svg);

// The SVG drawn at factor 1 on white, as PNG bytes; empty when the picture is too large (more than
// `maxPixels`, or a side longer than kMaxRasterSide), when it is no picture, or when the program has no
// QGuiApplication to draw text with.
QByteArray rasterisePicture(const QByteArray& svg, QSize size, qint64 maxPixels = kMaxRasterPixels);

// Renders the range and puts it on the clipboard: SVG, plus PNG when small enough.
class PictureClipboard {
  public:
    explicit PictureClipboard(Clipboard& clipboard) : clipboard_(clipboard) {}

    void copy(const sheet::Worksheet& sheet, const sheet::CellRange& range);

    // The last picture copied: the SVG put on the clipboard and the shapes it was written from, so that
    // whoever finds that same SVG again (in a file written from the clipboard) can draw the shapes instead
    // of reading the text back. Empty before the first copy and after forget().
    struct Copied {
        QByteArray svg;
        std::shared_ptr<const sheet::picture::Shapes> shapes;
    };
    const Copied& lastCopied() const { return last_; }
    void forget() { last_ = {}; }
    // The hook to hand to EngineFactory; it refers to this object, which must outlive the factory.
    EngineFactory::PictureSink sink() {
        return [this](const sheet::Worksheet& s, const sheet::CellRange& r) { copy(s, r); };
    }

  private:
    Clipboard& clipboard_;
    Copied last_;
};

// Writes bytes to `path` in one step (safefile::replace), so a failed write leaves the old file as it was.
// Fails with a description naming the path and the system's reason.
// A scratch file that the program deletes again itself need not wait for the disk (safefile::Flush).
void writePictureFile(const QString& path, const QByteArray& bytes,
                      safefile::Flush flush = safefile::Flush::ToDisk);

// Writes the picture (SVG) of a range, or of the sheet's used range, to `path` (safely, as above); for the
// command-line tool. Fails with a description.
void writeRangePicture(const sheet::Worksheet& sheet, const sheet::CellRange& range, const QString& path);
void writeRangePicture(const sheet::Worksheet& sheet, const QString& path);

}  // namespace rw::chart
