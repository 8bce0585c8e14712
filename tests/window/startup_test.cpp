// Start-up and shutdown of the window, through its real controls.

#include <QFile>

#include "window_fixture.h"

namespace {

const QString kNotFound = QStringLiteral(
    "File qvnsettings.dat not found\r\nDefault settings shown\r\n"
    "Please, enter the settings for your motor\r\nor load a model.");

class StartupTest : public WindowTest {};

TEST_F(StartupTest, CaptionBeforeStartUpHasOneSpace)
{
    TForm1& f = create();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("QUORVANE MOTOR TESTER TUNER V3.1.2"));
    EXPECT_EQ(f.formTitle, QString());
    EXPECT_EQ(f.i2cAddress, QChar());
    EXPECT_EQ(f.delay150, 0);
    EXPECT_FALSE(f.Timer1.isActive());
    EXPECT_EQ(f.Timer1.interval(), 100);
}

TEST_F(StartupTest, WithoutSettingsFileShowsDefaultsAndMessage)
{
    TForm1& f = start();
    ASSERT_GE(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages.front(), kNotFound);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("QUORVANE MOTOR TESTER TUNER  V3.1.2        "));
    EXPECT_EQ(f.EditAccel->text(), QStringLiteral("3000"));
    EXPECT_EQ(f.EditSidSpeed->text(), QStringLiteral("40"));
    EXPECT_EQ(f.i2cAddress, QChar(65));
}

} // namespace
