// The test curves of the ANALYZE tab: the three start buttons and the sampler
// that the status poll feeds. The arithmetic is analysis::sampleStep.

#include <QAction>
#include <QMenu>

#include "analysis/test_run.h"
#include "app/TForm1.h"
#include "protocol/wire.h"
#include "settings/numbers.h"

namespace {

QString body(const std::string& s) { return QString::fromStdString(s); }
std::string utf8(const QString& s) { return s.toStdString(); }

void disableTestButtons(TForm1& f)
{
    for (QPushButton* b : {f.ButtonGraphGoto, f.ButtonGraphStep, f.ButtonGraphTrack, f.ButtonImageSave})
        b->setEnabled(false);
}

} // namespace

void TForm1::ButtonGraphTrackClick()
{
    if (!testNumber(EditSidSpeed->text())) return;
    if (!analysis::trackingTestAllowed(_refSyst, isTracking, mySettings.setting_offsetTrackSpeed)) {
        platform().showMessage(QString::fromLatin1(analysis::kTrackingTestRefused.data(),
                                                   qsizetype(analysis::kTrackingTestRefused.size())));
        return;
    }
    const double S = *settings::parseDecimal(EditSidSpeed->text().toStdString(), decimalSep());
    disableTestButtons(*this);
    consoleAppend(QString());
    consoleAppend(QStringLiteral("Tracking analysis in progress..."));

    const analysis::TrackingMove m = analysis::trackingMove(S);
    EditGraphSpeed->setText(QString::fromStdString(m.graphSpeedText));
    test_target = m.target;
    EditGraphStep->setText(QString::fromStdString(m.graphStepText));
    for (const analysis::Command& c : analysis::trackingStartCommands(i2cAddress.toLatin1(), m, delay150, delay100))
        sendToQuorvane(body(c.body), c.pauseMs);
    tographics = true;
    analyze = anaTrack;
}

void TForm1::ButtonGraphStepClick()
{
    if (!testInteger(EditGraphStep->text()) || !testInteger(EditGraphSpeed->text())) return;
    disableTestButtons(*this);
    consoleAppend(QString());
    consoleAppend(QStringLiteral("Step pulse analysis in progress..."));
    const char a = i2cAddress.toLatin1();
    sendToQuorvane(body(protocol::cmd::resetCounters(a)), delay250);
    sendToQuorvane(body(protocol::cmd::moveSpeed(a, utf8(EditGraphSpeed->text()))), delay100);
    test_target = *settings::parseInteger(EditGraphStep->text().toStdString());
    tographics = true;
    analyze = anaStep;
}

void TForm1::ButtonGraphGotoClick()
{
    if (!testInteger(EditGraphStep->text()) || !testInteger(EditGraphSpeed->text())) return;
    disableTestButtons(*this);
    consoleAppend(QString());
    consoleAppend(QStringLiteral("Goto analysis in progress..."));
    const char a = i2cAddress.toLatin1();
    sendToQuorvane(body(protocol::cmd::resetCounters(a)), delay250);
    sendToQuorvane(body(protocol::cmd::moveSpeed(a, utf8(EditGraphSpeed->text()))), delay100);
    test_target = *settings::parseInteger(EditGraphStep->text().toStdString());
    tographics = true;
    analyze = anaGoto;
}

void TForm1::addPointToGraph()
{
    // The poll goes on under an open message box: a failed check is told once
    // per text, not at every tick, and samples are skipped until it is mended.
    for (const QString& t : {EditFinal->text(), EditGraphSpeed->text()}) {
        if (settings::parseInteger(t.toStdString())) continue;
        if (graphCheckFailed != t) {
            graphCheckFailed = t;
            showMessageAfterTick(QStringLiteral("Value \"") + t +
                                 QStringLiteral("\" in edit box\r\nis not an integer."));
        }
        return;
    }
    graphCheckFailed.reset();

    const int i = pointidx;
    const std::string step = utf8(EditGraphStep->text());
    analysis::Sample s;
    s.index = i;
    s.sidTime = _cursidtime;
    s.position = _curposit;
    s.sidSpeed = test_sidspeed;
    s.target = test_target;
    s.origins = {initial_pointsid, initial_pointpos, final_pointsid};
    s.kind = analyze;
    s.address = i2cAddress.toLatin1();
    s.graphStepText = step;
    const analysis::SampleResult r = analysis::sampleStep(s);

    point_sid[i] = s.sidTime;
    point_pos[i] = s.position;
    point_err[i] = r.error;
    initial_pointsid = r.origins.initialSid;
    initial_pointpos = r.origins.initialPos;
    final_pointsid = r.origins.finalSid;
    if (r.move) sendToQuorvane(body(r.move->body), r.move->pauseMs);
    if (r.percent) LabelPercent->setText(QString::fromStdString(*r.percent));
    if (!r.ends) {
        pointidx = i + 1;
        return;
    }

    pointidx = 0;
    tographics = false;
    lastpointidx = i;
    DrawGraph();
    LabelPercent->setText(QStringLiteral("DONE"));
    consoleAppend(QStringLiteral("Analysis completed."));
    sendToQuorvane(body(protocol::cmd::finalApproach(i2cAddress.toLatin1(), utf8(EditFinal->text()))), delay150);
    consoleAppend(QString());
}

void TForm1::connectAnalysisEvents()
{
    wire(ButtonGraphTrack, &QPushButton::clicked, &TForm1::ButtonGraphTrackClick);
    wire(ButtonGraphStep, &QPushButton::clicked, &TForm1::ButtonGraphStepClick);
    wire(ButtonGraphGoto, &QPushButton::clicked, &TForm1::ButtonGraphGotoClick);
    wire(ButtonImageSave, &QPushButton::clicked, &TForm1::ButtonImageSaveClick);

    // Right click, or the menu key once a click has given the picture the focus.
    PopupMenuImage = new QMenu(this);
    PopupMenuImage->setObjectName(QStringLiteral("PopupMenuImage"));
    MenuCopyPicture = PopupMenuImage->addAction(QStringLiteral("Copy picture"));
    MenuCopyPicture->setObjectName(QStringLiteral("MenuCopyPicture"));
    MenuSaveSamples = PopupMenuImage->addAction(QStringLiteral("Save samples as CSV..."));
    MenuSaveSamples->setObjectName(QStringLiteral("MenuSaveSamples"));
    MenuSaveSamples->setEnabled(false); // until a run is drawn
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    Image1->setFocusPolicy(Qt::ClickFocus);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { guarded([this, pos] { Image1ContextPopup(pos); }); });
    wire(MenuCopyPicture, &QAction::triggered, &TForm1::MenuCopyPictureClick);
    wire(MenuSaveSamples, &QAction::triggered, &TForm1::MenuSaveSamplesClick);
}
