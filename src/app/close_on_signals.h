#pragma once
// Ends the program as its EXIT button does when the session or the terminal
// ends it (SIGTERM, SIGHUP) or Ctrl-C is pressed (SIGINT): an active
// controller is released and the settings file is written, instead of the
// process dying with the session's settings lost.

#include <QObject>

class QSocketNotifier;
class QWidget;

class CloseOnSignals : public QObject {
public:
    // Catches the signals for as long as the object lives; one at a time.
    explicit CloseOnSignals(QWidget& window);
    ~CloseOnSignals() override;
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

private:
    void closeWindow();

    QWidget& window_;
    QSocketNotifier* notifier_ = nullptr;
    int modalAttempts_ = 0;
};
