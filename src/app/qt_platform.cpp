#include "app/qt_platform.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QThread>

namespace {

std::optional<FileDialogAnswer> runDialog(QWidget* parent, const FileDialogRequest& r, bool save)
{
    QFileDialog dlg(parent, r.title, r.startDir);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog does not insist that the file exists; saving replaces
    // an existing file without asking.
    dlg.setFileMode(QFileDialog::AnyFile);
    if (save) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtNameFilters(r.filter);
    dlg.setNameFilters(filters);
    if (r.filterIndex >= 1 && r.filterIndex <= filters.size()) dlg.selectNameFilter(filters.at(r.filterIndex - 1));
    dlg.setDefaultSuffix(r.defaultExt);
    if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    FileDialogAnswer a;
    a.path = QFileInfo(dlg.selectedFiles().first()).absoluteFilePath();
    const int idx = filters.indexOf(dlg.selectedNameFilter());
    a.filterIndex = idx >= 0 ? idx + 1 : 1;
    return a;
}

} // namespace

QStringList qtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts.at(i).trimmed();
        // Qt separates patterns by spaces, and matches by the patterns in the
        // description's last parentheses: they must be the real ones, or
        // "(*.*)" would hide every file without a dot.
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        pattern = pattern.simplified();
        const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && desc.endsWith(QLatin1Char(')'))) desc = desc.left(open).trimmed();
        out << desc + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out;
}

void QtPlatform::sleepMs(int ms)
{
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void QtPlatform::showMessage(const QString& text)
{
    QMessageBox box(parent_);
    box.setWindowTitle(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

std::optional<FileDialogAnswer> QtPlatform::openFileDialog(const FileDialogRequest& request)
{
    return runDialog(parent_, request, false);
}

std::optional<FileDialogAnswer> QtPlatform::saveFileDialog(const FileDialogRequest& request)
{
    return runDialog(parent_, request, true);
}

QChar QtPlatform::decimalSeparator() const
{
    const QString sep = QLocale::system().decimalPoint();
    // Only a point or a comma is meaningful to the number rules.
    return sep == QStringLiteral(",") ? QLatin1Char(',') : QLatin1Char('.');
}

QString QtPlatform::executablePath() const { return QCoreApplication::applicationFilePath(); }
