// vfris: the suite's program updater. Takes no arguments; the name it was
// started as chooses the server folder of its archive ("vfris1234" fetches
// from "ugy26/1234", a five-character name from the default folder).
// VFRIS_SERVER ("host" or "host:port") points it at another server.
#include "settings/settings_files.h"
#include "updater/startup.h"
#include "updater/suite_year.h"
#include "updater/update_run.h"

int main(int argc, char** argv) {
  updater::StartProgram(argc, argv);
  updater::UpdateRun(settings::ProgramFile());
  updater::EndProgram(0);
}
