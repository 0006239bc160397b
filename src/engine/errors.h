// Engine errors: the Hungarian texts of the run-time I/O codes, the fatal
// report with its line in the error log DAVADAR.ERR, and the message stop.
//
// Almost every I/O failure inside the engine is fatal: the operation that
// meets it calls CheckIoStatus, which logs, reports and stops the program
// with the code. Only opens and makes hand a failure back (OpOk, IoStatus).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

struct DataFile;

// The text of a run-time error code (code page 852): empty for 0, "Hibaüzenet
// neve ismeretlen" for a code the table lacks and for negative codes.
std::string RuntimeErrorText(int code);

// The run-time code for an OS error number of the file service: 19..31 give
// 150..162, a sharing violation (32) gives 5, others pass unchanged.
uint16_t RuntimeCodeOfOsError(int osError);

// Nothing when IoStatus is 0. Otherwise the fatal report: a line appended to
// DAVADAR.ERR in the current folder, the report on the screen, a key read,
// then the program stops with code IoStatus, the report being written to the
// terminal again after the screen is put back. Of the file only its stored
// name is used; record is the slot the operation was at.
void CheckIoStatus(const DataFile& file, int32_t record);
void CheckIoStatus(std::string_view fileName, int32_t record);
// The second form: the same report, then it waits until a key is waiting
// (without reading it) and stops with code 0.
void CheckIoStatusWaitKey(const DataFile& file, int32_t record);

// "Hiba:" + text in a message box, then the program stops (code 0).
[[noreturn]] void StopWithMessage(std::string_view text);

// The pieces of the report, for tests and for other reporters.
// "Data access I/O error :" + code in "###" + ":" + its text.
std::string FatalReportText(uint16_t code);
// The log line (without CR LF) for a report at the given local time.
struct LogTime {
  int year, month, day, hour, minute, second;
};
std::string ErrorLogLine(const LogTime& when, std::string_view reportText,
                         std::string_view fileName, int32_t record);
// The console lines of the report, each ended by "\n".
std::string FatalConsoleLines(uint16_t code, std::string_view fileName, int32_t record);

// Every stop of the engine goes through StopEngineProgram: the hook when one
// is set (a test harness that must survive the stop; it must not return),
// otherwise platform::StopProgram.
extern void (*EngineStopHook)(int code);
[[noreturn]] void StopEngineProgram(int code);

// Where the log is written ("DAVADAR.ERR": the current folder).
inline constexpr const char* kErrorLogName = "DAVADAR.ERR";

}  // namespace engine
