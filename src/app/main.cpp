#include <QApplication>

#include "app/TForm1.h"
#include "app/qt_platform.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QtPlatform platform;
    TForm1 form(platform);
    platform.setDialogParent(&form);
    form.show();
    app.exec();
    return 0;
}
