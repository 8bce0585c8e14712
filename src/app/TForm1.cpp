#include "app/TForm1.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabBar>
#include <QTextCursor>

#include "app/glyphs.h"
#include "settings/change_marks.h"

namespace {

QList<QRadioButton*> radioButtons(const QGroupBox* group)
{
    return group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
}

} // namespace

void setLabelColor(QLabel* label, const QColor& color)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Active, QPalette::WindowText, color);
    p.setColor(QPalette::Inactive, QPalette::WindowText, color);
    label->setPalette(p);
}

QColor labelColor(const QLabel* label) { return label->palette().color(QPalette::Active, QPalette::WindowText); }

TForm1::TForm1(Platform& platform, QWidget* parent) : QMainWindow(parent), platform_(platform)
{
    setupUi(this);

    // Tahoma where it is installed; DejaVu Sans is the metric-wide fallback
    // the layout is sized for.
    QFont f = font();
    f.setFamily(QFontDatabase::families().contains(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                             : QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    setFont(f);
    // The six page captions fill the 640-pixel tab row only in a narrower cut.
    QFont tabs = PageControl1->tabBar()->font();
    tabs.setStretch(QFont::Condensed);
    PageControl1->tabBar()->setFont(tabs);
    PageControl1->setUsesScrollButtons(false);

    setFixedSize(1147, 609);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    // Design state that the form file cannot express for editable combos.
    ComboBoxComPort->setEditText(QStringLiteral("COM1"));
    ComboBoxReqFreq->setCurrentIndex(-1);
    ComboBoxReqFreq->setEditText(QStringLiteral("6"));

    ButtonLoadModel->setIcon(glyphIcon(Glyph::Open));
    ButtonSaveModel->setIcon(glyphIcon(Glyph::Save));
    ButtonStop->setIcon(glyphIcon(Glyph::Stop));
    ButtonFree->setIcon(glyphIcon(Glyph::Free));
    ButtonTrack->setIcon(glyphIcon(Glyph::Track));
    ButtonSlew->setIcon(glyphIcon(Glyph::Move));
    ButtonGoTo->setIcon(glyphIcon(Glyph::GoTo));
    ButtonPulseLeft->setIcon(glyphIcon(Glyph::Left));
    ButtonPulseRight->setIcon(glyphIcon(Glyph::Right));

    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(100);

    connectEvents();
    connectCalculatorEvents();
    connectControllerEvents();
    connectMotionEvents();
    connectAnalysisEvents();
}

TForm1::~TForm1() = default;

void TForm1::connectEvents()
{
    wire(ButtonExit, &QPushButton::clicked, &TForm1::ButtonExitClick);
    wire(ButtonLoadModel, &QToolButton::clicked, &TForm1::ButtonLoadModelClick);
    wire(ButtonSaveModel, &QToolButton::clicked, &TForm1::ButtonSaveModelClick);
    wire(ButtonResetSettings, &QPushButton::clicked, &TForm1::ButtonResetSettingsClick);

    wire(ButtonUpdateProp, &QToolButton::clicked, &TForm1::ButtonUpdatePropClick);
    wire(ButtonUpdatePID, &QToolButton::clicked, &TForm1::ButtonUpdatePIDClick);
    wire(ButtonUpdateTrack, &QToolButton::clicked, &TForm1::ButtonUpdateTrackClick);

    for (const ChangeMark& m : changeMarks(*this)) wire(m.edit, &QLineEdit::textChanged, m.handler);
}

void TForm1::showMessageAfterTick(const QString& text)
{
    QTimer::singleShot(0, this, [this, text] { guarded([this, &text] { platform_.showMessage(text); }); });
}

void TForm1::reportError(const std::exception& e) { platform_.showMessage(QString::fromUtf8(e.what())); }

// ---- mini console

void TForm1::consoleAppend(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextDocument* doc = Memo1->document();
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    // The document always holds one block; the first append after a clear
    // writes into it, every later one starts a new line.
    if (consoleHasLines_) c.insertBlock();
    c.insertText(t);
    consoleHasLines_ = true;
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TForm1::consoleClear()
{
    Memo1->clear();
    consoleHasLines_ = false;
}

// ---- radio groups

int TForm1::radioIndex(const QGroupBox* group)
{
    const auto buttons = radioButtons(group);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->isChecked()) return static_cast<int>(i);
    }
    return -1;
}

void TForm1::setRadioIndex(QGroupBox* group, int index)
{
    const auto buttons = radioButtons(group);
    if (buttons.isEmpty()) return;
    if (index >= buttons.size()) index = static_cast<int>(buttons.size()) - 1;
    if (index >= 0) {
        buttons.at(index)->setChecked(true);
        return;
    }
    // Exclusive buttons cannot be unchecked one by one.
    for (QRadioButton* b : buttons) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

// ---- activation and close

bool TForm1::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) startUpOnce();
    return QMainWindow::event(e);
}

void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    // Some platforms (offscreen, some window managers) never activate the
    // window; the start-up must still run once.
    QTimer::singleShot(0, this, [this] { startUpOnce(); });
}

void TForm1::startUpOnce()
{
    if (startedUp_) return;
    startedUp_ = true;
    guarded([this] { FormActivate(); });
}

void TForm1::closeEvent(QCloseEvent* e)
{
    // A window that never started has shown nothing of the settings file:
    // there is nothing to save, and saving would overwrite it.
    if (!startedUp_) {
        e->accept();
        return;
    }
    if (guarded([this] { FormClose(); }))
        e->accept();
    else
        e->ignore();
}
