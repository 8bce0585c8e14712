#pragma once
// The one window of the program. Every control of TForm1.ui is a member under
// its name (inherited from Ui::TForm1); every operation is a method, defined
// in the folder of its subsystem.

#include <QChar>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>

#include "analysis/graph.h"
#include "analysis/samples_csv.h"
#include "app/platform.h"
#include "protocol/parameters.h"
#include "settings/record.h"
#include "ui_TForm1.h"

class QAction;
class QGroupBox;
class QMenu;
class QPoint;
class QLabel;
class TBitmap;
class QLineEdit;
class QAbstractButton;

class TForm1 : public QMainWindow, public Ui::TForm1 {
    Q_OBJECT

public:
    explicit TForm1(Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    Platform& platform() { return platform_; }

    // The error boundary: every event handler is entered through it. A failure
    // is shown in a message box and the program goes on; nothing is thrown
    // into Qt's event loop. Returns false when `f` failed.
    template <class F>
    bool guarded(F&& f)
    {
        try {
            f();
            return true;
        } catch (const std::exception& e) {
            reportError(e);
        } catch (...) {
            platform_.showMessage(QStringLiteral("Unexpected error"));
        }
        return false;
    }

    // Connects a control's signal to a handler, entered through the error
    // boundary. Signal arguments are dropped: handlers read their controls.
    template <class Sender, class Signal>
    void wire(Sender* sender, Signal signal, void (TForm1::*handler)())
    {
        connect(sender, signal, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    }

    // Shows a message box once the running Timer1 tick has returned. Qt never
    // re-enters a timer from its own tick, so a box opened inside the tick
    // would stop the poll for as long as it is open.
    void showMessageAfterTick(const QString& text);

    // Mini console. Each append ends a line; CR LF inside starts new lines.
    void consoleAppend(const QString& text);
    void consoleClear();

    // Radio groups: the index of the checked choice, -1 for none. Setting an
    // index below -1 checks none, at or beyond the count the last choice.
    static int radioIndex(const QGroupBox* group);
    static void setRadioIndex(QGroupBox* group, int index);

    // Start-up and shutdown.
    void FormActivate();
    void FormClose();
    void ButtonExitClick();
    bool startedUp() const { return startedUp_; }

    // Frames a command body, writes it, echoes it to the console, then sleeps.
    void sendToQuorvane(const QString& qvncmd, int afterdelay);

    // Settings binding and validation.
    void UpdateDisplaysFromSettings();
    void UpdateSettingsFromDisplays();
    bool testNumber(const QString& numVal);
    bool testInteger(const QString& numVal);
    void EditAccelChange();
    void EditFinalChange();
    void EditSensorChange();
    void EditPulseWidthChange();
    void EditKPChange();
    void EditKIChange();
    void EditErrLimChange();
    void EditIntLimChange();
    void EditIntMaxSpeedChange();
    void EditSidSpeedChange();
    void EditTrackSpeedChange();
    void EditGuideSpeedChange();

    // Parameter upload (src/settings/upload.cpp).
    void ButtonUpdatePropClick();
    void ButtonUpdatePIDClick();
    void ButtonUpdateTrackClick();
    void updateControlProperties();
    void updatePIDProperties();
    void updateTrackProperties();
    // testNumber, and thousandths that fit the 32 bits they are sent in.
    bool testThousandths(const QString& numVal);

    // Model files and reset.
    void ButtonLoadModelClick();
    void ButtonSaveModelClick();
    void ButtonResetSettingsClick();

    // Program directory; the starting folder of the file dialogs when it can
    // be written, otherwise the working folder (dialogFolder).
    QString getZARPdir();
    QString dialogFolder();

    // The three calculators (src/calculators/calculator_pages.cpp).
    void ButtonCalculateDCClick();
    void EditDCchange();
    void ButtonCalculateStepperClick();
    void EditSTEPchange();
    void ButtonCalculateFocuserClick();
    void EditFOCUSchange();
    void connectCalculatorEvents();

    // Connection, activation and release, status poll (src/controller/).
    void ButtonConnectClick();
    void ButtonDisconnectClick();
    void ButtonActivateClick();
    void ButtonReleaseClick();
    void updateTimer1();
    void Timer1Timer();
    void ReadStatus();
    void connectControllerEvents();

    // The control tab (src/motion/).
    void ButtonStopClick();
    void ButtonFreeClick();
    void ButtonResetPosClick();
    void ButtonResetIndexClick();
    void ButtonTrackClick();
    void ButtonUntrackClick();
    void ButtonSlewMouseDown();
    void ButtonSlewMouseUp();
    void ButtonUpdateSlewClick();
    void ButtonGoToClick();
    void ButtonPulseLeftClick();
    void ButtonPulseRightClick();
    void slewingModeClick();
    void connectMotionEvents();

    // The analysis tab (src/analysis/).
    void ButtonGraphTrackClick();
    void ButtonGraphStepClick();
    void ButtonGraphGotoClick();
    void addPointToGraph();
    void DrawGraph();
    void ButtonImageSaveClick();
    // The picture's context menu: "Copy picture", "Save samples as CSV...".
    void Image1ContextPopup(const QPoint& pos);
    void MenuCopyPictureClick();
    void MenuSaveSamplesClick();
    void connectAnalysisEvents();
    // Drawing primitives on an off-screen bitmap; colours 0x00BBGGRR, -1 none.
    static void InitBitMap(TBitmap& BitMap1, const QWidget* uneImage);
    static void KTexte(int x1, int y1, analysis::TColor coulTexte, analysis::TColor coulFond, QString txt,
                       TBitmap& unBitMap);
    static void KPixel(int x1, int y1, analysis::TColor couleur, TBitmap& unBitMap);
    static void KLigne(int x1, int y1, int x2, int y2, analysis::TColor couleur, TBitmap& unBitMap);
    static void KRectangle(int x1, int y1, int x2, int y2, analysis::TColor coulTour, analysis::TColor coulFond,
                           TBitmap& unBitMap);

    // The user's decimal separator as one byte for the number rules.
    char decimalSep() { return platform_.decimalSeparator().toLatin1(); }

    // ---- state fields
    QString formTitle;
    settings::TMYSETTINGS mySettings{};
    bool isPortOpen = false;
    bool isConnected = false;
    bool isTracking = false;
    int delay100 = 0;
    int delay150 = 0;
    int delay250 = 0;
    int interval1 = 0;
    bool accelerationchanged = false;
    bool finalapprchanged = false;
    bool sensortresholdchanged = false;
    bool steppulsewidthchanged = false;
    bool KPchanged = false;
    bool KIchanged = false;
    bool errlimchanged = false;
    bool intlimchanged = false;
    bool intmaxspeedchanged = false;
    bool sidspeedchanged = false;
    bool trackspeedchanged = false;
    bool guidespeedchanged = false;
    QChar i2cAddress{};
    QString trackingSpeed;
    int _refSyst = 0;
    int _cursidtime = 0;
    int _curposit = 0;
    int _cursidcoor = 0;
    bool showMessDisactivated = false;
    bool tographics = false;
    int pointidx = 0;
    std::array<double, 600> point_sid{};
    std::array<double, 600> point_pos{};
    std::array<double, 600> point_err{};
    std::array<double, 600> track_err{};
    double initial_pointsid = 0;
    double initial_pointpos = 0;
    double final_pointsid = 0;
    double test_sidspeed = 0;
    double test_target = 0;
    TANALYZETEST analyze = anaTrack;
    int lastpointidx = 0;                         // index of the last sample of the last run
    int trackerrcount = 0;                        // entries 1 to n of track_err from the last drawing
    std::optional<QString> graphCheckFailed;      // the text whose check failed while sampling, told once
    std::optional<analysis::FinishedRun> lastRun; // the last drawn run, kept from the next one
    QString saveSamplesFileName = QStringLiteral("samples.csv"); // last choice of the CSV dialog
    QString savePictureFileName;                                 // last choice of the picture dialog
    int savePictureFilterIndex = 1;
    int _motorType = 0;

    // Status-poll timer; its tick handler belongs to the status poll.
    QTimer Timer1;

    // The picture's context menu (made with the window).
    QMenu* PopupMenuImage = nullptr;
    QAction* MenuCopyPicture = nullptr;
    QAction* MenuSaveSamples = nullptr;

    // Last choices of the model dialogs, offered again next time.
    QString openDialogFileName;
    int openDialogFilterIndex = 1;
    QString saveDialogFileName = QStringLiteral("model-1.qvm");
    int saveDialogFilterIndex = 1;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void reportError(const std::exception& e);
    void startUpOnce();
    void connectEvents();
    void markChanged(protocol::Param param);

    Platform& platform_;
    bool startedUp_ = false;
    bool consoleHasLines_ = false;
};

// Font colour of a label (the red "waiting for upload" marks).
void setLabelColor(QLabel* label, const QColor& color);
QColor labelColor(const QLabel* label);
