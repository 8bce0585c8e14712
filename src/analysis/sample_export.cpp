// The picture's context menu: the picture to the clipboard, the last run's
// samples to a CSV file.

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>

#include "analysis/samples_csv.h"
#include "app/TForm1.h"

void TForm1::Image1ContextPopup(const QPoint& pos)
{
    MenuSaveSamples->setEnabled(lastRun.has_value());
    PopupMenuImage->popup(Image1->mapToGlobal(pos));
}

void TForm1::MenuCopyPictureClick()
{
    // Before any graph the picture is the white one "Save Image" writes.
    const QPixmap shown = Image1->pixmap();
    QImage picture = shown.isNull() ? QImage(Image1->size(), QImage::Format_RGB32) : shown.toImage();
    if (shown.isNull()) picture.fill(Qt::white);
    QGuiApplication::clipboard()->setImage(picture);
}

void TForm1::MenuSaveSamplesClick()
{
    if (!lastRun) return;
    FileDialogRequest request;
    request.title = QStringLiteral("SAVE SAMPLES AS");
    request.startDir = dialogFolder();
    request.filter = QStringLiteral("CSV files (*.csv)|*.csv|All the files (*.*)|*");
    request.defaultExt = QStringLiteral("csv");
    request.fileName = saveSamplesFileName;
    const auto answer = platform().saveFileDialog(request);
    if (!answer) return;
    saveSamplesFileName = answer->path;
    // A file that cannot be written is reported with its name and the reason
    // (through the error boundary); the old file, if any, is intact.
    analysis::writeSamplesCsv(QFile::encodeName(answer->path).toStdString(), *lastRun);
}
