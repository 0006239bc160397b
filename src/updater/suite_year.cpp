#include "updater/suite_year.h"

namespace updater {

namespace {
std::string defaultProgramId;
}

const std::string& DefaultProgramId() { return defaultProgramId; }

void StartSuiteYear() { defaultProgramId = "domva" + std::string(SuiteYear); }

}  // namespace updater
