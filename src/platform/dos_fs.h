// The platform's file service: the DOS namespace on the host. See
// dos_path.h (drives, current folders, path resolution), dos_file.h (open
// files), dos_dir.h (directory search and whole-file operations), dos_name.h
// (code pages of names, case, patterns) and io_codes.h (the answers).
#pragma once

#include "platform/dos_dir.h"
#include "platform/dos_file.h"
#include "platform/dos_name.h"
#include "platform/dos_path.h"
#include "platform/dos_time.h"
#include "platform/io_codes.h"
