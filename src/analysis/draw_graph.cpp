// The renderer: the planned picture of the last run drawn off screen with the
// primitives and shown on Image1 in one operation.

#include <QAction>
#include <QPixmap>

#include <algorithm>

#include "analysis/bitmap.h"
#include "analysis/graph.h"
#include "app/TForm1.h"
#include "protocol/wire.h"
#include "settings/numbers.h"

void TForm1::DrawGraph()
{
    const char sep = decimalSep();
    auto number = [sep](const QLineEdit* e) { return settings::parseDecimal(e->text().toStdString(), sep); };

    analysis::GraphInput in;
    in.graphStep = number(EditGraphStep);
    in.graphSpeed = number(EditGraphSpeed);
    in.sidSpeed = number(EditSidSpeed);
    in.interval1 = interval1;
    in.sid = point_sid;
    in.pos = point_pos;
    in.err = point_err;
    in.last = lastpointidx;
    in.origins = {initial_pointsid, initial_pointpos, final_pointsid};
    in.kind = analyze;
    in.refSyst = _refSyst;
    in.motorType = _motorType;
    in.tracking = isTracking;
    in.offsetTrackSpeed = mySettings.setting_offsetTrackSpeed;
    in.graphStepText = EditGraphStep->text().toStdString();
    in.graphSpeedText = EditGraphSpeed->text().toStdString();
    in.accelText = EditAccel->text().toStdString();
    in.finalText = EditFinal->text().toStdString();
    in.sidSpeedText = EditSidSpeed->text().toStdString();
    in.trackSpeedText = EditTrackSpeed->text().toStdString();
    in.kpText = EditKP->text().toStdString();
    in.kiText = EditKI->text().toStdString();
    in.decimalSep = sep;
    const analysis::Graph graph = analysis::planGraph(in);

    // Entries 1 to n, as many as the buffer holds.
    const std::size_t n = std::min(graph.trackErr.size(), track_err.size() - 1);
    std::copy_n(graph.trackErr.begin(), n, track_err.begin() + 1);
    trackerrcount = int(n);

    TBitmap BitMap1;
    InitBitMap(BitMap1, Image1);
    using Kind = analysis::DrawOp::Kind;
    for (const analysis::DrawOp& op : graph.ops) {
        switch (op.kind) {
        case Kind::Rectangle: KRectangle(op.x1, op.y1, op.x2, op.y2, op.colour, op.fill, BitMap1); break;
        case Kind::Line: KLigne(op.x1, op.y1, op.x2, op.y2, op.colour, BitMap1); break;
        case Kind::Text:
            KTexte(op.x1, op.y1, op.colour, analysis::clNone, QString::fromStdString(op.text), BitMap1);
            break;
        case Kind::FontSize: BitMap1.canvas.setFont(pictureFont(op.points)); break;
        }
    }
    Image1->setPixmap(QPixmap::fromImage(BitMap1.release()));

    // The run as drawn, for "Save samples as CSV...": the next run overwrites
    // the buffers long before the user may ask for it.
    analysis::FinishedRun run;
    const std::size_t count = std::size_t(std::clamp(lastpointidx, 0, int(point_sid.size()) - 1)) + 1;
    run.sid.assign(point_sid.begin(), point_sid.begin() + std::ptrdiff_t(count));
    run.pos.assign(point_pos.begin(), point_pos.begin() + std::ptrdiff_t(count));
    run.err.assign(point_err.begin(), point_err.begin() + std::ptrdiff_t(count));
    run.origins = in.origins;
    run.sidSpeed = test_sidspeed;
    run.timeScale = analysis::graphScales(in.graphStep, in.graphSpeed, in.sidSpeed, in.interval1).time;
    run.errorColumn = in.refSyst == 1 && in.kind == anaTrack;
    run.statistics = graph.stats.has_value();
    lastRun = std::move(run);
    MenuSaveSamples->setEnabled(true);

    for (QPushButton* b : {ButtonGraphGoto, ButtonGraphStep, ButtonGraphTrack, ButtonImageSave}) b->setEnabled(true);
    sendToQuorvane(
        QString::fromStdString(protocol::cmd::acceleration(i2cAddress.toLatin1(), EditAccel->text().toStdString())),
        delay150);
}
