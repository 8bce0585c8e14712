#pragma once
// The settings record and its 240-byte files (the settings file and models).

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "settings/atomic_file.h"

namespace settings {

// 49 signed 32-bit fields, then 40 reserved words. Fields marked x1000 hold
// the shown value times 1000, rounded.
struct TMYSETTINGS {
    std::int32_t setting_comPortNumber;
    std::int32_t setting_baudRate;
    std::int32_t setting_addrIdx;
    std::int32_t setting_refSyst;
    std::int32_t setting_reqPos;
    std::int32_t setting_reqFreqIdx;
    std::int32_t setting_KP;
    std::int32_t setting_KI;
    std::int32_t setting_ErrLim;
    std::int32_t setting_intLim;
    std::int32_t setting_intMaxSpeed;
    std::int32_t setting_sidSpeed;         // x1000
    std::int32_t setting_offsetTrackSpeed; // x1000
    std::int32_t setting_guideSpeed;       // x1000
    std::int32_t setting_accel;
    std::int32_t setting_final;
    std::int32_t setting_sensThr;
    std::int32_t setting_stepPulseWidth;
    std::int32_t setting_limitSWP;
    std::int32_t setting_limitSWM;
    std::int32_t setting_invertDir;
    std::int32_t setting_freeAtStop;
    std::int32_t setting_enableVoltIdx;
    std::int32_t setting_IndexEdgeIdx;
    std::int32_t setting_resetOnIndex;
    std::int32_t setting_slewSpeed;
    std::int32_t setting_stepByStep;
    std::int32_t setting_gotoSpeed;
    std::int32_t setting_pulseTime;
    std::int32_t setting_graphStep;
    std::int32_t setting_graphSpeed;
    std::int32_t setting_DCteethNum; // x1000 from here on
    std::int32_t setting_DCteethAdv;
    std::int32_t setting_DCreductor;
    std::int32_t setting_DCgears;
    std::int32_t setting_DCcounts;
    std::int32_t setting_DCrpm;
    std::int32_t setting_STEPteethNum;
    std::int32_t setting_STEPteethAdv;
    std::int32_t setting_STEPreductor;
    std::int32_t setting_STEPgears;
    std::int32_t setting_STEPfullsteps;
    std::int32_t setting_STEPmicrosteps;
    std::int32_t setting_STEPmaxspeed;
    std::int32_t setting_FOCUSturns;
    std::int32_t setting_FOCUScounts;
    std::int32_t setting_FOCUSreductor;
    std::int32_t setting_FOCUSgears; // x1000 up to here
    std::int32_t setting_sensorDetectPol;
    // Reserved; entry k of the 1-based numbering is setting_bidon[k - 1].
    std::int32_t setting_bidon[40];
};

// Size of a record file: the first 240 bytes of the record.
inline constexpr std::size_t kRecordFileSize = 240;
inline constexpr std::size_t kFieldCount = 49;

// The record with every field at its default and the reserved words zero.
TMYSETTINGS defaultSettings();

// Reads a record file over `rec`: its first min(size, 240) bytes replace the
// first bytes of the record, the rest keeps its contents. Returns false and
// leaves `rec` untouched when the file cannot be opened or read.
bool readRecordFile(const std::string& path, TMYSETTINGS& rec);

// What readRecordFile does with the bytes it read: the first min(size, 240)
// replace the first bytes of the record.
void readRecordBytes(std::string_view bytes, TMYSETTINGS& rec);

// Raised when a record file cannot be written; the previous file is intact.
class RecordWriteError : public FileWriteError {
public:
    using FileWriteError::FileWriteError;
};

// The 240 bytes of a record file: little-endian words, reserved words zero.
std::string recordFileBytes(const TMYSETTINGS& rec);

// Writes the record file whole or not at all (writeFileAtomically). Throws
// RecordWriteError when anything fails; the old file is then untouched.
void writeRecordFile(const std::string& path, const TMYSETTINGS& rec);

// The folder of the running executable, ending in one "/".
std::string getZARPdir(const std::string& executablePath);

} // namespace settings
