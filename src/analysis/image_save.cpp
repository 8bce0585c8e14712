// "Save Image": the picture of Image1 as JPEG, BMP or PNG.

#include <QFile>
#include <QPixmap>

#include "analysis/graph.h"
#include "analysis/picture.h"
#include "app/TForm1.h"

namespace {

// The picture shown, or a white one of the same size before any graph.
analysis::RgbImage shownPicture(const QLabel* image)
{
    const QPixmap pixmap = image->pixmap();
    if (pixmap.isNull()) return analysis::blankPicture(image->width(), image->height());
    const QImage rgb = pixmap.toImage().convertToFormat(QImage::Format_RGB888);
    analysis::RgbImage out;
    out.width = rgb.width();
    out.height = rgb.height();
    out.rgb.resize(std::size_t(out.width) * std::size_t(out.height) * 3);
    for (int y = 0; y < out.height; ++y)
        std::copy_n(rgb.constScanLine(y), std::size_t(out.width) * 3,
                    out.rgb.begin() + std::ptrdiff_t(y) * out.width * 3);
    return out;
}

} // namespace

void TForm1::ButtonImageSaveClick()
{
    FileDialogRequest request;
    request.title = QStringLiteral("SAVE ANALYZE PICTURE AS");
    request.startDir = dialogFolder();
    request.filter = QStringLiteral("JPG format (*.jpg)|*.jpg|BMP format (*.bmp)|*.bmp|PNG format (*.png)|*.png");
    request.defaultExt = QStringLiteral("jpg");
    request.fileName = savePictureFileName;
    request.filterIndex = savePictureFilterIndex;
    const auto answer = platform().saveFileDialog(request);
    if (!answer) return;
    savePictureFileName = answer->path;
    savePictureFilterIndex = answer->filterIndex;

    const analysis::PictureTarget target =
        analysis::pictureTarget(QFile::encodeName(answer->path).toStdString(), answer->filterIndex);
    // A picture that cannot be written is reported: the user must not
    // believe it saved. The message reaches the error boundary.
    analysis::writePicture(target, shownPicture(Image1));
}
