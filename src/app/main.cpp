#include <QApplication>

#include "app/TForm1.h"
#include "app/close_on_signals.h"
#include "app/qt_platform.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Ties the window to its menu entry and icon (Wayland, task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zarpo.ZARPO"));
    QtPlatform platform;
    TForm1 form(platform);
    platform.setDialogParent(&form);
    CloseOnSignals closer(form);
    form.show();
    app.exec();
    return 0;
}
