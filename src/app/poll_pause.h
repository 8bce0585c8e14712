#pragma once
// Keeps the status poll off the serial line while a handler sends its
// commands. When the handler ends, however it ends, polling resumes if it
// was running: a handler reached with polling stopped (FREE after
// DISCONNECT) must not start polling a closed port.

#include <QTimer>

class PollPause {
public:
    explicit PollPause(QTimer& timer) : timer_(timer), wasActive_(timer.isActive()) { timer_.stop(); }
    ~PollPause()
    {
        if (wasActive_) timer_.start();
    }
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

private:
    QTimer& timer_;
    bool wasActive_;
};
