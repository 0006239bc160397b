// The suite year of this build and the suite's default program id.
#pragma once

#include <string>
#include <string_view>

namespace updater {

// The two-digit year of this build.
inline constexpr std::string_view SuiteYear = "26";

// The suite's program id: the server folder of the update run when its own
// file name gives no client id. Set at start-up (StartSuiteYear).
const std::string& DefaultProgramId();
void StartSuiteYear();

}  // namespace updater
