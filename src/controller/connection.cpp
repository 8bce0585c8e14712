// CONNECT and DISCONNECT: open the chosen port, check that the bridge answers,
// and the enabled states of the connected and disconnected window.

#include "app/TForm1.h"
#include "controller/states.h"
#include "protocol/wire.h"
#include "serial/serial.h"

void TForm1::ButtonConnectClick()
{
    UpdateSettingsFromDisplays(); // a text that does not convert ends here

    bool passed = false;
    if (serial::openComPort(ComboBoxComPort->currentText().toStdString())) {
        isPortOpen = true;
        passed = serial::setupComPort(ComboBoxBaudRate->currentText().toStdString(), 25, [this](const std::string& m) {
            platform().showMessage(QString::fromStdString(m));
        });
    } else {
        isPortOpen = false;
    }

    // The check's answer is the only sign of a working line: writes report
    // nothing and a failed read is "RXFX".
    if (passed) {
        sendToQuorvane(QString::fromLatin1(protocol::kConnectionCheckBody), delay100);
        platform().sleepMs(400);
        const QString rx = QString::fromLatin1(serial::readComPort());
        LabelRX->setText(rx);
        passed = rx == QLatin1String(protocol::kConnectionOk);
    }

    if (passed) {
        isConnected = true;
        consoleAppend(QStringLiteral("Serial port selected: ") + ComboBoxComPort->currentText() +
                      QStringLiteral("\r\nSelect the I2C address,\r\nthe reference system,\r\nthe polarity bits,"
                                     "\r\nthen click the ACTIVATE button."));
        controller::applyEnabled(*this, controller::Step::Connect);
        LabelPercent->setText(QStringLiteral("0 %"));
        return;
    }

    platform().showMessage(QStringLiteral("*** COMMUNICATION ERROR. ***\r\n"
                                          "Potential causes:\r\n"
                                          "   Bad Comm Port Settings\r\n"
                                          "   or USB Port not connected.\r\n"
                                          "   or USB-BT switch at bad position\r\n"
                                          "Fix the problem and click CONNECT."));
    if (isPortOpen) {
        serial::closeComPort();
        isPortOpen = false;
    }
}

void TForm1::ButtonDisconnectClick()
{
    Timer1.stop(); // no tick may use the port while it closes
    if (isPortOpen) {
        serial::closeComPort();
        isPortOpen = false;
    }
    isConnected = false;
    controller::applyEnabled(*this, controller::Step::Disconnect);
    LabelPercent->setText(QStringLiteral("0 %"));
    consoleClear();
    consoleAppend(QStringLiteral("QUORVANE MOTOR TESTER TUNER"));
    consoleAppend(QString());
    consoleAppend(QStringLiteral("Controller DISCONNECTED."));
    consoleAppend(QStringLiteral("Click CONNECT or EXIT button."));
    consoleAppend(QString());
}
