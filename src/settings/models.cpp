// Model files (whole settings sets saved and loaded by hand) and the reset to
// the defaults.

#include "app/TForm1.h"

#include "settings/record.h"

namespace {

const QString kModelFilter =
    QStringLiteral("Quorvane Model Files (*.qvm)|*.qvm|All the files (*.*)|*.*");

} // namespace

QString TForm1::getZARPdir()
{
    return QString::fromStdString(settings::getZARPdir(platform().executablePath().toStdString()));
}

void TForm1::ButtonResetSettingsClick()
{
    mySettings = settings::defaultSettings();
    UpdateDisplaysFromSettings();
    setWindowTitle(formTitle);
}

void TForm1::ButtonLoadModelClick()
{
    FileDialogRequest req;
    req.title = QStringLiteral("LOAD A MODEL");
    req.startDir = getZARPdir();
    req.filter = kModelFilter;
    req.defaultExt = QStringLiteral("qvm");
    req.fileName = openDialogFileName;
    req.filterIndex = openDialogFilterIndex;
    const auto answer = platform().openFileDialog(req);
    if (!answer)
        return;
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
    FileDialogRequest req;
    req.title = QStringLiteral("SAVE MODEL AS");
    req.startDir = getZARPdir();
    req.filter = kModelFilter;
    req.defaultExt = QStringLiteral("qvm");
    req.fileName = saveDialogFileName;
    req.filterIndex = saveDialogFilterIndex;
    const auto answer = platform().saveFileDialog(req);
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
