// Model files (whole settings sets saved and loaded by hand) and the reset to
// the defaults.

#include "app/TForm1.h"

#include <unistd.h>

#include <QDir>

#include "settings/record.h"

namespace {

// Both model dialogs: the same filter and extension, starting in the program's
// folder with the name last chosen.
FileDialogRequest modelDialog(const QString& title, const QString& startDir, const QString& fileName, int filterIndex)
{
    FileDialogRequest req;
    req.title = title;
    req.startDir = startDir;
    // "*" is what accepts any file on Linux: "*.*" would want a dot.
    req.filter = QStringLiteral("Quorvane Model Files (*.qvm)|*.qvm|All the files (*.*)|*");
    req.defaultExt = QStringLiteral("qvm");
    req.fileName = fileName;
    req.filterIndex = filterIndex;
    return req;
}

} // namespace

QString TForm1::getZARPdir()
{
    return QString::fromStdString(settings::getZARPdir(platform().executablePath().toStdString()));
}

QString TForm1::dialogFolder()
{
    // An installed program lives in /usr/bin, where nobody can save a model.
    const QString dir = getZARPdir();
    if (::access(QFile::encodeName(dir).constData(), W_OK) == 0) return dir;
    return QDir::currentPath() + QLatin1Char('/');
}

void TForm1::ButtonResetSettingsClick()
{
    mySettings = settings::defaultSettings();
    UpdateDisplaysFromSettings();
    setWindowTitle(formTitle);
}

void TForm1::ButtonLoadModelClick()
{
    const auto answer = platform().openFileDialog(
        modelDialog(QStringLiteral("LOAD A MODEL"), dialogFolder(), openDialogFileName, openDialogFilterIndex));
    if (!answer) return;
    openDialogFileName = answer->path;
    openDialogFilterIndex = answer->filterIndex;

    // A file that cannot be read leaves the settings as they were; say so
    // rather than let the user believe the model is loaded.
    if (!settings::readRecordFile(answer->path.toStdString(), mySettings)) {
        platform().showMessage(QStringLiteral("Unable to load the model\r\n") + answer->path);
        return;
    }
    UpdateDisplaysFromSettings();
    // A calculator that cannot compute the loaded inputs reports why; the
    // model is loaded all the same.
    guarded([this] { ButtonCalculateDCClick(); });
    guarded([this] { ButtonCalculateStepperClick(); });
    guarded([this] { ButtonCalculateFocuserClick(); });
    setWindowTitle(formTitle + answer->path);
}

void TForm1::ButtonSaveModelClick()
{
    const auto answer = platform().saveFileDialog(
        modelDialog(QStringLiteral("SAVE MODEL AS"), dialogFolder(), saveDialogFileName, saveDialogFilterIndex));
    if (!answer) {
        platform().showMessage(QStringLiteral("Model not saved"));
        return;
    }
    saveDialogFileName = answer->path;
    saveDialogFilterIndex = answer->filterIndex;

    setWindowTitle(formTitle + answer->path);
    try {
        UpdateSettingsFromDisplays();
        settings::writeRecordFile(answer->path.toStdString(), mySettings);
    } catch (const std::exception&) {
        platform().showMessage(QStringLiteral("Unable to save"));
    }
}
