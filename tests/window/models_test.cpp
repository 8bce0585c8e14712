// Model files saved and loaded by hand, and the reset to the defaults.

#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings/record.h"
#include "window_fixture.h"

namespace {

const QString kFilter = QStringLiteral("Quorvane Model Files (*.qvm)|*.qvm|All the files (*.*)|*");

class ModelsTest : public WindowTest {
protected:
    void SetUp() override
    {
        platform.exePath = work.file(QStringLiteral("bin/ZARPO"));
        QDir().mkpath(work.file(QStringLiteral("bin")));
        start();
        platform.messages.clear();
    }

    QString modelPath(const QString& name) const { return work.file(name); }

    void writeModel(const QString& path, const settings::TMYSETTINGS& rec, std::size_t bytes = 240)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const std::string all = settings::recordFileBytes(rec);
        ASSERT_EQ(file.write(all.data(), static_cast<qint64>(std::min(bytes, all.size()))),
                  static_cast<qint64>(std::min(bytes, all.size())));
    }

    QString title() const { return form->formTitle; }
};

TEST_F(ModelsTest, SaveWritesThePanelAndShowsTheFileInTheCaption)
{
    form->EditKP->setText(QStringLiteral("12"));
    const QString path = modelPath(QStringLiteral("mount.qvm"));
    platform.answerDialog(path);
    form->ButtonSaveModel->click();

    ASSERT_EQ(platform.saveRequests.size(), 1u);
    const FileDialogRequest& r = platform.saveRequests.front();
    EXPECT_EQ(r.title, QStringLiteral("SAVE MODEL AS"));
    EXPECT_EQ(r.filter, kFilter);
    EXPECT_EQ(r.defaultExt, QStringLiteral("qvm"));
    EXPECT_EQ(r.fileName, QStringLiteral("model-1.qvm"));
    EXPECT_EQ(r.startDir, work.file(QStringLiteral("bin/")));

    EXPECT_TRUE(platform.messages.isEmpty());
    EXPECT_EQ(form->windowTitle(), title() + path);
    settings::TMYSETTINGS back{};
    ASSERT_TRUE(settings::readRecordFile(path.toStdString(), back));
    EXPECT_EQ(QFileInfo(path).size(), 240);
    EXPECT_EQ(back.setting_KP, 12);

    // The dialog offers the last name again.
    platform.cancelDialog();
    form->ButtonSaveModel->click();
    ASSERT_EQ(platform.saveRequests.size(), 2u);
    EXPECT_EQ(platform.saveRequests.back().fileName, path);
}

TEST_F(ModelsTest, DialogsStartInTheWorkingFolderWhenTheProgramsCannotBeWritten)
{
    // An installed program's folder (/usr/bin) takes no models; a folder
    // that is not there stands for it here, since the tests run as root.
    platform.exePath = QStringLiteral("/nonexistent-zarpo/usr/bin/ZARPO");
    platform.cancelDialog();
    form->ButtonLoadModel->click();
    platform.cancelDialog();
    form->ButtonSaveModel->click();
    ASSERT_EQ(platform.openRequests.size(), 1u);
    ASSERT_EQ(platform.saveRequests.size(), 1u);
    EXPECT_EQ(platform.openRequests.front().startDir, QDir::currentPath() + "/");
    EXPECT_EQ(platform.saveRequests.front().startDir, QDir::currentPath() + "/");
    EXPECT_EQ(QDir::currentPath(), QDir(work.path()).canonicalPath());
}

TEST_F(ModelsTest, CancelledSaveSaysSoAndKeepsTheCaption)
{
    platform.cancelDialog();
    form->ButtonSaveModel->click();
    EXPECT_EQ(platform.messages, QStringList{QStringLiteral("Model not saved")});
    EXPECT_EQ(form->windowTitle(), title());
}

TEST_F(ModelsTest, SaveThatCannotWriteSaysUnableToSave)
{
    // A "folder" that is a regular file cannot hold a model, even for root.
    QFile blocker(modelPath(QStringLiteral("plain-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        const char* what;
        QString path;
    } cases[] = {
        {"parent is a file", modelPath(QStringLiteral("plain-file/model.qvm"))},
        {"no such folder", modelPath(QStringLiteral("missing/model.qvm"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform.messages.clear();
        platform.answerDialog(c.path);
        form->ButtonSaveModel->click();
        EXPECT_EQ(platform.messages, QStringList{QStringLiteral("Unable to save")});
        EXPECT_EQ(form->windowTitle(), title() + c.path);
        EXPECT_FALSE(QFileInfo::exists(c.path));
    }
}

TEST_F(ModelsTest, SaveWithATextThatDoesNotConvertWritesNothing)
{
    form->EditGuideSpeed->setText(QStringLiteral("fast"));
    const QString path = modelPath(QStringLiteral("bad.qvm"));
    platform.answerDialog(path);
    form->ButtonSaveModel->click();
    EXPECT_EQ(platform.messages, QStringList{QStringLiteral("Unable to save")});
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ModelsTest, LoadReplacesTheRecordAndRerunsTheCalculators)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    rec.setting_KI = 44;
    rec.setting_DCteethNum = 180000;
    rec.setting_FOCUSturns = 20000;
    const QString path = modelPath(QStringLiteral("other.qvm"));
    writeModel(path, rec);
    const QString dcBefore = form->LabelResultDC3->text();
    const QString focusBefore = form->LabelFocuserResult->text();

    platform.answerDialog(path, 2);
    form->ButtonLoadModel->click();

    ASSERT_EQ(platform.openRequests.size(), 1u);
    const FileDialogRequest& r = platform.openRequests.front();
    EXPECT_EQ(r.title, QStringLiteral("LOAD A MODEL"));
    EXPECT_EQ(r.filter, kFilter);
    EXPECT_EQ(r.defaultExt, QStringLiteral("qvm"));
    EXPECT_TRUE(r.fileName.isEmpty());
    EXPECT_EQ(r.startDir, work.file(QStringLiteral("bin/")));

    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join(" | ").toStdString();
    EXPECT_EQ(form->EditKI->text(), QStringLiteral("44"));
    EXPECT_EQ(form->EditDCteethNum->text(), QStringLiteral("180"));
    EXPECT_EQ(form->windowTitle(), title() + path);
    EXPECT_NE(form->LabelResultDC3->text(), dcBefore);
    EXPECT_NE(form->LabelFocuserResult->text(), focusBefore);
    for (QWidget* b : {form->ButtonCalculateDC, form->ButtonCalculateStepper, form->ButtonCalculateFocuser})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();

    // Next time the dialog offers the file and filter chosen.
    platform.cancelDialog();
    form->ButtonLoadModel->click();
    ASSERT_EQ(platform.openRequests.size(), 2u);
    EXPECT_EQ(platform.openRequests.back().fileName, path);
    EXPECT_EQ(platform.openRequests.back().filterIndex, 2);
}

TEST_F(ModelsTest, CancelledLoadChangesNothing)
{
    form->EditKP->setText(QStringLiteral("5"));
    const settings::TMYSETTINGS before = form->mySettings;
    platform.cancelDialog();
    form->ButtonLoadModel->click();
    EXPECT_TRUE(platform.messages.isEmpty());
    EXPECT_EQ(form->EditKP->text(), QStringLiteral("5"));
    EXPECT_EQ(std::memcmp(&before, &form->mySettings, sizeof before), 0);
    EXPECT_EQ(form->windowTitle(), title());
}

TEST_F(ModelsTest, ShortModelReplacesOnlyItsFirstFields)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    rec.setting_KP = 3;           // word 6, inside the first 100 bytes
    rec.setting_slewSpeed = 1234; // word 25, beyond them
    form->EditSlewSpeed->setText(QStringLiteral("2222"));
    form->UpdateSettingsFromDisplays();
    const QString path = modelPath(QStringLiteral("short.qvm"));
    writeModel(path, rec, 100);

    platform.answerDialog(path);
    form->ButtonLoadModel->click();
    EXPECT_EQ(form->mySettings.setting_KP, 3);
    EXPECT_EQ(form->mySettings.setting_slewSpeed, 2222);
    EXPECT_EQ(form->EditKP->text(), QStringLiteral("3"));
    EXPECT_EQ(form->windowTitle(), title() + path);
}

TEST_F(ModelsTest, UnreadableModelIsReportedAndChangesNothing)
{
    const settings::TMYSETTINGS before = form->mySettings;
    const QString path = modelPath(QStringLiteral("nothing-here.qvm"));
    platform.answerDialog(path);
    form->ButtonLoadModel->click();
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages.front().contains(path));
    EXPECT_EQ(std::memcmp(&before, &form->mySettings, sizeof before), 0);
    EXPECT_EQ(form->windowTitle(), title());
}

TEST_F(ModelsTest, ModelWithAZeroDivisorLoadsAndSaysWhichCalculatorFailed)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    rec.setting_DCteethAdv = 0;
    rec.setting_KP = 9;
    const QString path = modelPath(QStringLiteral("zero.qvm"));
    writeModel(path, rec);
    platform.answerDialog(path);
    form->ButtonLoadModel->click();
    EXPECT_EQ(platform.messages.size(), 1) << platform.messages.join(" | ").toStdString();
    EXPECT_EQ(form->EditKP->text(), QStringLiteral("9"));
    EXPECT_TRUE(form->ButtonCalculateDC->isEnabled());
    EXPECT_FALSE(form->ButtonCalculateStepper->isEnabled());
    EXPECT_FALSE(form->ButtonCalculateFocuser->isEnabled());
    EXPECT_EQ(form->windowTitle(), title() + path);
}

TEST_F(ModelsTest, ResetAfterALoadRestoresDefaultsAndCaptionButNotTheResults)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    rec.setting_accel = 1111;
    rec.setting_STEPmicrosteps = 8000;
    const QString path = modelPath(QStringLiteral("loaded.qvm"));
    writeModel(path, rec);
    platform.answerDialog(path);
    form->ButtonLoadModel->click();
    ASSERT_EQ(form->windowTitle(), title() + path);
    const QString stepResult = form->LabelResultStep1->text();

    form->ButtonResetSettings->click();
    const settings::TMYSETTINGS defaults = settings::defaultSettings();
    EXPECT_EQ(std::memcmp(&defaults, &form->mySettings, sizeof defaults), 0);
    EXPECT_EQ(form->EditAccel->text(), QStringLiteral("3000"));
    EXPECT_EQ(form->EditSTEPmicrosteps->text(), QStringLiteral("16"));
    EXPECT_EQ(form->windowTitle(), title());
    EXPECT_EQ(form->LabelResultStep1->text(), stepResult);
    EXPECT_TRUE(platform.messages.isEmpty());
}

} // namespace
