// The platform seam as the program uses it: the real message box and the
// name filters handed to the real file dialogs.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include "app/qt_platform.h"
#include "window_fixture.h"

namespace {

struct SeenBox {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
};

TEST(QtPlatformTest, MessageBoxHoldsOnlyItsTextAndOneOk)
{
    SeenBox seen;
    QTimer watch;
    watch.setInterval(10);
    // The box runs its own event loop; the test looks at it from there and
    // closes it with its one button.
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        watch.stop();
        seen.found = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.format = box->textFormat();
        for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
        ASSERT_EQ(box->buttons().size(), 1);
        box->buttons().first()->click();
    });
    watch.start();
    // Give up rather than hang if the box never shows.
    QTimer::singleShot(5000, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });

    QtPlatform platform;
    platform.showMessage(QStringLiteral("Value \"<b>1</b>\" in edit box\r\nis not an integer."));

    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    EXPECT_EQ(seen.text, QStringLiteral("Value \"<b>1</b>\" in edit box\nis not an integer."));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons.size(), 1);
}

// The patterns Qt matches are those in the last parentheses of a filter.
QStringList qtPatterns(const QString& qtFilter)
{
    const auto m = QRegularExpression(QStringLiteral("\\(([^()]*)\\)$")).match(qtFilter);
    return m.hasMatch() ? m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList{};
}

TEST(QtPlatformTest, NameFiltersMatchWhatTheirPatternsSay)
{
    const struct {
        QString filter;
        QStringList qt;
    } cases[] = {
        {"Quorvane Model Files (*.qvm)|*.qvm|All the files (*.*)|*",
         {"Quorvane Model Files (*.qvm)", "All the files (*)"}},
        {"JPEG Image File (*.jpg)|*.jpg;*.jpeg|Bitmaps|*.bmp", {"JPEG Image File (*.jpg *.jpeg)", "Bitmaps (*.bmp)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        EXPECT_EQ(qtNameFilters(c.filter), c.qt);
    }

    // "All the files" takes a file without any dot, as a model may be named.
    const QStringList all = qtPatterns(qtNameFilters(cases[0].filter).at(1));
    EXPECT_TRUE(QDir::match(all, QStringLiteral("mount-ra")));
    const QStringList models = qtPatterns(qtNameFilters(cases[0].filter).at(0));
    EXPECT_FALSE(QDir::match(models, QStringLiteral("mount-ra")));
    EXPECT_TRUE(QDir::match(models, QStringLiteral("mount-ra.qvm")));
}

} // namespace
