// The three calculation pages, driven through their edits and CALCULATE
// buttons.

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <vector>

#include "window_fixture.h"

namespace {

enum class Page { Dc, Stepper, Focuser };

const char* pageName(Page p)
{
    switch (p) {
    case Page::Dc: return "dc";
    case Page::Stepper: return "stepper";
    case Page::Focuser: return "focuser";
    }
    return "?";
}

struct PageWidgets {
    QWidget* sheet;
    QToolButton* button;
    std::vector<QLabel*> labels; // labels[n - 1] is result label n
    std::vector<QLineEdit*> edits;
};

PageWidgets widgetsOf(TForm1& f, Page p)
{
    switch (p) {
    case Page::Dc:
        return {f.TabSheetDCmotor,
                f.ButtonCalculateDC,
                {f.LabelResultDC1, f.LabelResultDC2, f.LabelResultDC3, f.LabelResultDC4, f.LabelResultDC5,
                 f.LabelResultDC6},
                {f.EditDCteethNum, f.EditDCteethAdv, f.EditDCreductor, f.EditDCgears, f.EditDCcounts, f.EditDCrpm}};
    case Page::Stepper:
        return {f.TabSheetStepper,
                f.ButtonCalculateStepper,
                {f.LabelResultStep1, f.LabelResultStep2, f.LabelResultStep3, f.LabelResultStep4, f.LabelResultStep5,
                 f.LabelResultStep6},
                {f.EditSTEPteethNum, f.EditSTEPteethAdv, f.EditSTEPreductor, f.EditSTEPgears, f.EditSTEPfullsteps,
                 f.EditSTEPmicrosteps, f.EditSTEPmaxspeed}};
    case Page::Focuser:
        return {f.TabSheetFocuser,
                f.ButtonCalculateFocuser,
                {f.LabelFocuserResult},
                {f.EditFOCUSturns, f.EditFOCUSreductor, f.EditFOCUSgears, f.EditFOCUScounts}};
    }
    return {};
}

QStringList textsOf(const std::vector<QLabel*>& labels)
{
    QStringList texts;
    for (const QLabel* l : labels) texts << l->text();
    return texts;
}

QColor captionColor(const QToolButton* b, QPalette::ColorGroup group = QPalette::Active)
{
    return b->palette().color(group, QPalette::ButtonText);
}

const QColor kRed(255, 0, 0);
const QString kModelCaption = QStringLiteral("QUORVANE MOTOR TESTER TUNER  V3.1.2        /home/me/models/ra.qvm");

QString notANumber(const QString& text)
{
    return QStringLiteral("Value \"") + text +
           QStringLiteral("\" in edit box\r\nis not a number.\r\nCheck for decimal separator.");
}

class CalculatorPageTest : public WindowTest {
protected:
    // Starts the window and forgets the start-up message (no settings file).
    TForm1& begin()
    {
        TForm1& f = start();
        platform.messages.clear();
        return f;
    }

    // Replaces the edit's text by typing, as the user does.
    void typeInto(QLineEdit* edit, const QString& text)
    {
        form->PageControl1->setCurrentWidget(edit->parentWidget());
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
        ASSERT_EQ(edit->text(), text);
    }

    void appendTo(QLineEdit* edit, const QString& text)
    {
        form->PageControl1->setCurrentWidget(edit->parentWidget());
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, text);
    }

    void click(QToolButton* button)
    {
        form->PageControl1->setCurrentWidget(button->parentWidget());
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

TEST_F(CalculatorPageTest, StartUpShowsTheResultsOfTheDefaultInputs)
{
    TForm1& f = begin();
    const std::pair<QLabel*, const char*> expected[] = {
        {f.LabelResultDC1, "Full speed of the motor rotor at nominal voltage = 10500 RPM  or  175 revolutions/sec."},
        {f.LabelResultDC2, "Full quadrature encoder speed at nominal voltage = 11200.000 counts/sec."},
        {f.LabelResultDC3, "Calculated sidereal tracking speed with given data = 40.1095 counts/sec."},
        {f.LabelResultDC4, "One quadrature encoder count = 0.374 arcsec"},
        {f.LabelResultDC5, "Suggested maximum slew or goto speed = 8960.000 counts/sec  or  0.933 degree/sec"},
        {f.LabelResultDC6, "Slew speed for 1 degree/sec = 9600.000 counts/sec"},
        {f.LabelResultStep1, "This motor outputs 768 microsteps / revolution of the motor rotor"},
        {f.LabelResultStep2, "Calculated sidereal tracking speed with given data = 154.0205 microsteps/sec."},
        {f.LabelResultStep3, "One microstep count = 0.097 arcsec"},
        {f.LabelResultStep4, "Realistic motor resolution = 0.390 arcsec"},
        {f.LabelResultStep5, "Maximum slew or goto speed = 12000 microsteps/sec  or  0.3255 degree/sec"},
        {f.LabelResultStep6, "Slew speed for 1 degree/sec = 36864.0000 microsteps/sec"},
        {f.LabelFocuserResult, "Number of counts to move the focuser 1 mm  =  4800.0000  q.e. counts  or  microsteps"},
    };
    for (const auto& [label, text] : expected)
        EXPECT_EQ(label->text(), QString::fromLatin1(text)) << label->objectName().toStdString();
    for (QToolButton* b : {f.ButtonCalculateDC, f.ButtonCalculateStepper, f.ButtonCalculateFocuser})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

TEST_F(CalculatorPageTest, CommaLocaleWritesCommasInResults)
{
    platform.separator = QLatin1Char(',');
    TForm1& f = begin();
    EXPECT_EQ(f.LabelResultDC3->text(), "Calculated sidereal tracking speed with given data = 40,1095 counts/sec.");
    EXPECT_EQ(f.LabelResultStep5->text(), "Maximum slew or goto speed = 12000 microsteps/sec  or  0,3255 degree/sec");
    EXPECT_EQ(f.LabelFocuserResult->text(),
              "Number of counts to move the focuser 1 mm  =  4800,0000  q.e. counts  or  microsteps");

    typeInto(f.EditFOCUSgears, "2,5");
    click(f.ButtonCalculateFocuser);
    EXPECT_EQ(f.LabelFocuserResult->text(),
              "Number of counts to move the focuser 1 mm  =  6000,0000  q.e. counts  or  microsteps");
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

// Every input edit of every page: typing marks only its own page stale.
TEST_F(CalculatorPageTest, TypingMarksThePageStaleAndKeepsTheResults)
{
    TForm1& f = begin();
    for (Page page : {Page::Dc, Page::Stepper, Page::Focuser}) {
        const PageWidgets w = widgetsOf(f, page);
        for (QLineEdit* edit : w.edits) {
            SCOPED_TRACE(edit->objectName().toStdString());
            const QString original = edit->text();
            const QStringList results = textsOf(w.labels);
            ASSERT_FALSE(w.button->isEnabled());

            appendTo(edit, "7");
            EXPECT_TRUE(w.button->isEnabled());
            EXPECT_EQ(captionColor(w.button), kRed);
            EXPECT_EQ(textsOf(w.labels), results);
            for (Page other : {Page::Dc, Page::Stepper, Page::Focuser}) {
                if (other != page) {
                    EXPECT_FALSE(widgetsOf(f, other).button->isEnabled()) << pageName(other);
                }
            }

            typeInto(edit, original);
            click(w.button);
            EXPECT_FALSE(w.button->isEnabled());
            EXPECT_EQ(textsOf(w.labels), results);
        }
    }
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

// Several bad texts: only the first in the page's checking order is
// reported, and nothing else happens.
TEST_F(CalculatorPageTest, TextThatIsNotANumberStopsBeforeAnyResult)
{
    struct Case {
        const char* name;
        Page page;
        char separator;
        std::vector<std::pair<QLineEdit * Ui_TForm1::*, const char*>> typed;
        const char* reported;
    };
    const Case cases[] = {
        {"dc rpm before teeth", Page::Dc, '.', {{&TForm1::EditDCteethNum, "abc"}, {&TForm1::EditDCrpm, "x"}}, "x"},
        {"dc comma with point locale", Page::Dc, '.', {{&TForm1::EditDCgears, "2,5"}}, "2,5"},
        {"dc reductor first", Page::Dc, '.', {{&TForm1::EditDCgears, "g"}, {&TForm1::EditDCreductor, "3O"}}, "3O"},
        {"stepper full steps before max speed",
         Page::Stepper,
         '.',
         {{&TForm1::EditSTEPmaxspeed, "1,5"}, {&TForm1::EditSTEPfullsteps, ""}},
         ""},
        {"stepper max speed before gears",
         Page::Stepper,
         '.',
         {{&TForm1::EditSTEPgears, "one"}, {&TForm1::EditSTEPmaxspeed, "12000 steps"}},
         "12000 steps"},
        {"focuser point with comma locale",
         Page::Focuser,
         ',',
         {{&TForm1::EditFOCUSturns, "q"}, {&TForm1::EditFOCUSgears, "2.0"}},
         "2.0"},
    };
    TForm1& f = begin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.separator = QLatin1Char(c.separator);
        const PageWidgets w = widgetsOf(f, c.page);
        std::vector<QString> originals;
        for (const auto& [edit, text] : c.typed) {
            originals.push_back((f.*edit)->text());
            typeInto(f.*edit, QString::fromLatin1(text));
        }
        for (QLabel* l : w.labels) l->setText("old");
        f.setWindowTitle(kModelCaption);

        click(w.button);
        EXPECT_EQ(platform.messages, QStringList{notANumber(QString::fromLatin1(c.reported))});
        EXPECT_EQ(textsOf(w.labels), QStringList(QList<QString>(w.labels.size(), "old")));
        EXPECT_TRUE(w.button->isEnabled());
        EXPECT_EQ(f.windowTitle(), kModelCaption);

        // Put the page back for the next case.
        platform.messages.clear();
        platform.separator = QLatin1Char('.');
        for (std::size_t i = 0; i < c.typed.size(); ++i) typeInto(f.*(c.typed[i].first), originals[i]);
        click(w.button);
        ASSERT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    }
}

// A fault shows its error; the labels written before it are new, the others
// keep what they showed, and the page stays stale.
TEST_F(CalculatorPageTest, FaultKeepsEarlierLabelsAndLeavesThePageStale)
{
    struct Case {
        const char* name;
        Page page;
        std::vector<std::pair<QLineEdit * Ui_TForm1::*, const char*>> typed;
        std::vector<std::pair<int, const char*>> written;
        const char* error;
    };
    const char* dc1 = "Full speed of the motor rotor at nominal voltage = 10500 RPM  or  175 revolutions/sec.";
    const char* dc2 = "Full quadrature encoder speed at nominal voltage = 11200.000 counts/sec.";
    const Case cases[] = {
        {"dc zero worm advance",
         Page::Dc,
         {{&TForm1::EditDCteethAdv, "0"}},
         {{1, dc1}, {2, dc2}},
         "Floating point division by zero"},
        {"dc zero over zero",
         Page::Dc,
         {{&TForm1::EditDCteethNum, "0"}, {&TForm1::EditDCteethAdv, "0"}},
         {{1, dc1}, {2, dc2}},
         "Invalid floating point operation"},
        {"dc zero counts",
         Page::Dc,
         {{&TForm1::EditDCcounts, "0"}},
         {{1, dc1},
          {2, "Full quadrature encoder speed at nominal voltage = 0.000 counts/sec."},
          {3, "Calculated sidereal tracking speed with given data = 0.0000 counts/sec."}},
         "Floating point division by zero"},
        {"stepper negative microsteps",
         Page::Stepper,
         {{&TForm1::EditSTEPmicrosteps, "-16"}},
         {{1, "This motor outputs -768 microsteps / revolution of the motor rotor"},
          {2, "Calculated sidereal tracking speed with given data = -154.0205 microsteps/sec."},
          {3, "One microstep count = -0.097 arcsec"}},
         "Invalid floating point operation"},
        {"stepper zero worm advance",
         Page::Stepper,
         {{&TForm1::EditSTEPteethAdv, "0"}},
         {},
         "Floating point division by zero"},
        {"focuser overflow",
         Page::Focuser,
         {{&TForm1::EditFOCUSturns, "1e200"}, {&TForm1::EditFOCUScounts, "1e200"}},
         {},
         "Floating point overflow"},
    };
    TForm1& f = begin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PageWidgets w = widgetsOf(f, c.page);
        std::vector<QString> originals;
        for (const auto& [edit, text] : c.typed) {
            originals.push_back((f.*edit)->text());
            typeInto(f.*edit, QString::fromLatin1(text));
        }
        QStringList expected;
        for (std::size_t i = 0; i < w.labels.size(); ++i) {
            w.labels[i]->setText(QStringLiteral("old %1").arg(i + 1));
            expected << w.labels[i]->text();
        }
        for (const auto& [number, text] : c.written) expected[number - 1] = QString::fromLatin1(text);
        f.setWindowTitle(kModelCaption);

        click(w.button);
        EXPECT_EQ(platform.messages, QStringList{c.error});
        EXPECT_EQ(textsOf(w.labels), expected);
        EXPECT_TRUE(w.button->isEnabled());
        EXPECT_EQ(f.windowTitle(), kModelCaption);

        // A second click meets the same fault: the button stays usable.
        platform.messages.clear();
        click(w.button);
        EXPECT_EQ(platform.messages, QStringList{c.error});

        platform.messages.clear();
        for (std::size_t i = 0; i < c.typed.size(); ++i) typeInto(f.*(c.typed[i].first), originals[i]);
        click(w.button);
        ASSERT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    }
}

TEST_F(CalculatorPageTest, SuccessDisablesTheButtonAndRestoresTheCaption)
{
    struct Case {
        const char* name;
        Page page;
        QLineEdit* Ui_TForm1::*edit;
        const char* typed;
        int label;
        const char* result;
    };
    const Case cases[] = {
        {"dc speed tie to even", Page::Dc, &TForm1::EditDCrpm, "35", 1,
         "Full speed of the motor rotor at nominal voltage = 1050 RPM  or  18 revolutions/sec."},
        {"dc speed tie down", Page::Dc, &TForm1::EditDCrpm, "33", 1,
         "Full speed of the motor rotor at nominal voltage = 990 RPM  or  16 revolutions/sec."},
        {"stepper speed as typed", Page::Stepper, &TForm1::EditSTEPmaxspeed, "12000.0", 5,
         "Maximum slew or goto speed = 12000.0 microsteps/sec  or  0.3255 degree/sec"},
        {"focuser zero input", Page::Focuser, &TForm1::EditFOCUSreductor, "0", 1,
         "Number of counts to move the focuser 1 mm  =  0.0000  q.e. counts  or  microsteps"},
    };
    TForm1& f = begin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PageWidgets w = widgetsOf(f, c.page);
        f.setWindowTitle(kModelCaption);
        typeInto(f.*c.edit, QString::fromLatin1(c.typed));
        ASSERT_TRUE(w.button->isEnabled());

        click(w.button);
        EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
        EXPECT_EQ(w.labels[static_cast<std::size_t>(c.label - 1)]->text(), QString::fromLatin1(c.result));
        EXPECT_FALSE(w.button->isEnabled());
        EXPECT_EQ(f.windowTitle(), f.formTitle);
        // The caption stays red but a disabled button is drawn greyed.
        EXPECT_EQ(captionColor(w.button), kRed);
        EXPECT_NE(captionColor(w.button, QPalette::Disabled), kRed);
    }
}

} // namespace
