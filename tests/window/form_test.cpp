// The form itself: captions, items, kinds, names for assistive tools.

#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "window_fixture.h"

namespace {

class FormTest : public WindowTest {};

TEST_F(FormTest, PagesInOrderWithTheirSpaces)
{
    TForm1& f = create();
    const QStringList expected = {" SETTINGS ",
                                  " CONTROL ",
                                  " ANALYZE ",
                                  " DC motor calculation ",
                                  " STEPPER motor calculation ",
                                  " FOCUSER motor calculation "};
    QStringList tabs;
    for (int i = 0; i < f.PageControl1->count(); ++i) tabs << f.PageControl1->tabText(i);
    EXPECT_EQ(tabs, expected);
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    EXPECT_EQ(f.PageControl1->size(), QSize(640, 590));
    EXPECT_EQ(f.Memo1->size(), QSize(260, 306));
    EXPECT_EQ(f.Image1->size(), QSize(600, 480));
}

TEST_F(FormTest, ListsHoldTheirItems)
{
    TForm1& f = create();
    const struct {
        QComboBox* combo;
        QStringList items;
    } cases[] = {
        {f.ComboBoxBaudRate,
         {"300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "115200"}},
        {f.ComboBoxI2Caddr, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}},
        {f.ComboBoxReqFreq, {"2", "3", "4", "5", "6", "7", "8", "10"}},
    };
    for (const auto& c : cases) {
        QStringList items;
        for (int i = 0; i < c.combo->count(); ++i) items << c.combo->itemText(i);
        EXPECT_EQ(items, c.items) << c.combo->objectName().toStdString();
        EXPECT_TRUE(c.combo->isEditable());
    }
}

TEST_F(FormTest, ToolButtonsNeverTakeFocusAndCarryGlyphs)
{
    TForm1& f = create();
    for (QToolButton* b : f.findChildren<QToolButton*>()) {
        if (b->parent() && b->parent()->inherits("QTabBar")) continue;
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
    }
    for (QToolButton* b : {f.ButtonLoadModel, f.ButtonSaveModel, f.ButtonStop, f.ButtonFree, f.ButtonTrack,
                           f.ButtonSlew, f.ButtonGoTo, f.ButtonPulseLeft, f.ButtonPulseRight}) {
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    }
    for (QToolButton* b : {f.ButtonSaveModel, f.ButtonGoTo, f.ButtonPulseRight})
        EXPECT_EQ(b->layoutDirection(), Qt::RightToLeft) << b->objectName().toStdString();
}

TEST_F(FormTest, MoveReportsPressAndRelease)
{
    TForm1& f = start();
    f.GroupBoxSlew->setEnabled(true);
    QStringList seen;
    QObject::connect(f.ButtonSlew, &QToolButton::pressed, [&] { seen << "down"; });
    QObject::connect(f.ButtonSlew, &QToolButton::released, [&] { seen << "up"; });
    f.ButtonSlew->click();
    EXPECT_EQ(seen, (QStringList{"down", "up"}));
}

TEST_F(FormTest, EveryEditComboAndRadioGroupHasAnAccessibleName)
{
    TForm1& f = create();
    QStringList unnamed;
    for (QLineEdit* e : f.findChildren<QLineEdit*>()) {
        if (qobject_cast<QComboBox*>(e->parent())) continue; // the line edit inside a combo: the combo carries the name
        if (e->accessibleName().isEmpty()) unnamed << e->objectName();
    }
    for (QComboBox* c : f.findChildren<QComboBox*>())
        if (c->accessibleName().isEmpty()) unnamed << c->objectName();
    for (QGroupBox* g : f.findChildren<QGroupBox*>())
        if (g->objectName().startsWith("RadioGroup") && g->accessibleName().isEmpty()) unnamed << g->objectName();
    EXPECT_EQ(unnamed, QStringList{});
    EXPECT_EQ(f.EditAccel->accessibleName(), QStringLiteral("Acceleration"));
    EXPECT_EQ(f.EditGotoPos->accessibleName(), QStringLiteral("Go to position"));
    EXPECT_EQ(f.EditGraphStep->accessibleName(), QStringLiteral("Graph step"));
    EXPECT_EQ(f.LabelAcceleration->buddy(), f.EditAccel);
}

TEST_F(FormTest, RadioGroupIndexHelpers)
{
    TForm1& f = create();
    const struct {
        int set;
        int read;
    } cases[] = {{0, 0}, {1, 1}, {7, 1}, {2, 1}, {-1, -1}, {-5, -1}, {0, 0}};
    for (const auto& c : cases) {
        TForm1::setRadioIndex(f.RadioGroupRefSyst, c.set);
        EXPECT_EQ(TForm1::radioIndex(f.RadioGroupRefSyst), c.read) << c.set;
    }
    // After none was selected, a click selects again exclusively.
    TForm1::setRadioIndex(f.RadioGroupRefSyst, -1);
    auto radios = f.RadioGroupRefSyst->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    radios[0]->setChecked(true);
    radios[1]->setChecked(true);
    EXPECT_FALSE(radios[0]->isChecked());
}

} // namespace

TEST_F(FormTest, ToolButtonShortcutsAreTheOnesTheirTooltipsName)
{
    // A button's text set after its shortcut replaces it with the text's
    // mnemonic (none here): the form must set the shortcut last.
    TForm1& f = create();
    int withShortcut = 0;
    for (QToolButton* b : f.findChildren<QToolButton*>()) {
        if (b->toolTip().isEmpty() || b == f.ButtonSlew) // MOVE's held key is no shortcut
            continue;
        EXPECT_EQ(b->shortcut(), QKeySequence(b->toolTip())) << b->objectName().toStdString();
        EXPECT_FALSE(b->shortcut().isEmpty()) << b->objectName().toStdString();
        ++withShortcut;
    }
    EXPECT_EQ(withShortcut, 14);
    EXPECT_EQ(f.ButtonSlew->toolTip(), "Ctrl+M (hold)");
}
