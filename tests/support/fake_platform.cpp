#include "fake_platform.h"

#include <stdexcept>
#include <string>

void FakePlatform::sleepMs(int ms)
{
    sleeps.push_back(ms);
    if (ms > 0) nowMs += ms;
    if (onSleep) onSleep(nowMs);
}

void FakePlatform::showMessage(const QString& text)
{
    messages << text;
    if (onMessage) onMessage(text);
}

void FakePlatform::answerDialog(const QString& path, int filterIndex)
{
    answers_.push_back(FileDialogAnswer{path, filterIndex});
}

void FakePlatform::cancelDialog() { answers_.push_back(std::nullopt); }

std::optional<FileDialogAnswer> FakePlatform::nextAnswer(const char* kind)
{
    // An unscripted dialog is a fault of the test, not a silent cancel.
    if (answers_.empty()) throw std::logic_error(std::string("FakePlatform: unscripted ") + kind + " dialog");
    auto a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<FileDialogAnswer> FakePlatform::openFileDialog(const FileDialogRequest& request)
{
    openRequests.push_back(request);
    return nextAnswer("open");
}

std::optional<FileDialogAnswer> FakePlatform::saveFileDialog(const FileDialogRequest& request)
{
    saveRequests.push_back(request);
    return nextAnswer("save");
}
