// Transfers between the current folder and the update server: the download
// of one file (the update run's), the look-up of a version marker with the
// fetch of a notice text, and the upload of the package file.
//
// Each operation connects on its own, does its one job, tells the user on
// the bottom status line what it is doing, reports problems itself in a
// message box and disconnects; nothing stays open between calls. The server
// is kServerHost on port 21 unless VFRIS_SERVER names another
// ("host" or "host:port").
#pragma once

#include <string>
#include <string_view>

#include "platform/ftp.h"

namespace updater {

// The update server of the suite.
inline constexpr std::string_view kServerHost = "ftp.vantor.hu";
inline constexpr std::string_view kFtpUser = "vantor";
inline constexpr std::string_view kFtpPassword = "kelvarin";

// The package file that FtpUpload sends, and where it goes on the server.
inline constexpr std::string_view kUploadFile = "d:\\pp\\bemurol\\mobt.zip";
inline constexpr std::string_view kUploadFolder = "/letolt/welq21/";

// The text with every "\" replaced by "/".
std::string FtpPath(std::string_view text);

// The server path of a download: "/letolt", then "/" and FtpPath(folder)
// unless the folder is blank, then "/" and the file name.
std::string DownloadPath(std::string_view folder, std::string_view fileName);

// Downloads "/letolt/<folder>/<fileName>" (just "/letolt/<fileName>" for a
// blank folder) into the current folder under fileName, overwriting. Shows
// "Nincs kapcsolat!" when the server cannot be reached or refuses the login,
// "Nincs <path>!" when the file is not there, and "A másolás nem sikerült!"
// after any failed transfer. True when the whole file arrived.
bool FtpDownload(std::string_view folder, std::string_view fileName);

// Looks for a version marker "letolt/<folder>/V*.*" (marker: the first match
// in the server's order, empty when none) and fetches
// "letolt/<folder>/uzenet.txt", when it is there, into localFile. A server
// that cannot be reached is announced for 3 seconds; nothing else is.
void FtpFetchNotice(std::string_view folder, std::string& marker, std::string_view localFile);

// Uploads kUploadFile as "/letolt/welq21/<folder>/mobt.zip". True when the
// server stored it; failures are reported as for FtpDownload.
bool FtpUpload(std::string_view folder);

// The time-outs of every transfer (tests shorten them), and back to the
// defaults.
void SetFtpTimeouts(const platform::FtpTimeouts& timeouts);
void ResetFtpTransfer();

}  // namespace updater
