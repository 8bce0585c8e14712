// The command sender: every command of the window goes out through here.

#include "app/TForm1.h"

#include "protocol/wire.h"
#include "serial/serial.h"

void TForm1::sendToQuorvane(const QString& qvncmd, int afterdelay)
{
    const QString framed = QString::fromStdString(protocol::frame(qvncmd.toStdString()));
    serial::writeComPort(framed.toStdString());
    consoleAppend(QStringLiteral("Command =    ") + framed);
    platform().sleepMs(afterdelay);
}
