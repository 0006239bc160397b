// What the engine's fuzz targets share: a scratch folder as the working
// folder, the headless terminal with every message box answered at once, and
// the engine's stop turned into an exception, so that one input's fatal
// report does not end the run.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "engine/errors.h"
#include "engine/status.h"
#include "platform/dos_path.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "ui/events.h"

namespace fuzzharness {

struct Stopped {
  int code;
};

inline platform::HeadlessTerminal* term = nullptr;
inline std::string folder;

// Sets everything up; prefix names the scratch folder.
inline void StartEngineHarness(const char* prefix) {
  std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
  if (!mkdtemp(tmpl.data())) abort();
  folder = tmpl;
  if (chdir(folder.c_str()) != 0) abort();
  platform::ResetDosNamespace();
  auto t = std::make_unique<platform::HeadlessTerminal>();
  term = t.get();
  platform::SetTerminal(std::move(t));
  term->Start();
  platform::ScreenStart();
  ui::BeforeWaitHook = [] { term->ScriptBytes("\r"); };
  engine::EngineStopHook = [](int code) { throw Stopped{code}; };
}

}  // namespace fuzzharness
