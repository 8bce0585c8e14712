#include "app/close_on_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a pipe; the event loop reads the other end.
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

CloseOnSignals::CloseOnSignals(QWidget& window) : window_(window)
{
    if (g_pipe[0] >= 0) throw std::logic_error("CloseOnSignals: only one at a time");
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("CloseOnSignals: no pipe");
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {}
        closeWindow();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &sa, nullptr);
}

CloseOnSignals::~CloseOnSignals()
{
    for (int s : kSignals) std::signal(s, SIG_DFL);
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CloseOnSignals::closeWindow()
{
    // An open box or dialog holds the operation that opened it; close it
    // first (as the user would, answering no), then the window.
    // A box that will not close is given a second, then left to the user.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal != nullptr && modal != &window_ && modalAttempts_ < 100) {
        ++modalAttempts_;
        modal->close();
        QTimer::singleShot(10, this, [this] { closeWindow(); });
        return;
    }
    modalAttempts_ = 0;
    window_.close();
}
