#include "updater/ftp_transfer.h"

#include "text/literal.h"
#include "text/strings.h"
#include "ui/dialog.h"

namespace updater {

namespace {

using namespace text::literals;

platform::FtpTimeouts timeouts;

// A connection to the update server, with the status line the operation
// owns while it runs.
struct Connection {
  platform::FtpEndpoint server = platform::FtpServerFromEnvironment(kServerHost);
  platform::FtpSession session{timeouts};
  ui::SavedRowRef status;

  void Show(std::string_view text) { ui::StatusMessage(true, text, status); }
  void Hide() { ui::StatusMessage(false, "", status); }

  // Status line with the host, then the client. False (status line removed)
  // when no client can be made.
  bool Open() {
    Show(server.host + " ...");
    if (session.Open()) return true;
    Hide();
    return false;
  }
  bool Connect() { return session.Connect(server, kFtpUser, kFtpPassword); }
  // The end every operation shares once it has a client.
  void Disconnect() {
    Hide();
    Show("Kapcsolat bontása"_cp);
    session.Close();
    Hide();
  }
};

void Message(std::string_view text) { ui::Prompt(text::CutToCapacity(std::string(text)), ""); }

}  // namespace

std::string FtpPath(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string DownloadPath(std::string_view folder, std::string_view fileName) {
  std::string path = "/letolt";
  if (!text::TrimRight(folder).empty()) path += "/" + FtpPath(folder);
  path += "/";
  path += fileName;
  return text::CutToCapacity(path);
}

bool FtpDownload(std::string_view folder, std::string_view fileName) {
  Connection c;
  if (!c.Open()) return false;
  bool ok = false;
  if (!c.Connect()) {
    Message("Nincs kapcsolat!");
  } else {
    c.Hide();
    c.Show("Letöltés ........"_cp);
    const std::string path = DownloadPath(folder, fileName);
    std::string found;
    if (!c.session.Find(path, found))
      Message("Nincs " + path + "!");
    else
      ok = c.session.Get(path, fileName);
    if (!ok) Message("A másolás nem sikerült!"_cp);
  }
  c.Disconnect();
  return ok;
}

void FtpFetchNotice(std::string_view folderIn, std::string& marker, std::string_view localFile) {
  marker.clear();
  const std::string folder = FtpPath(folderIn);
  Connection c;
  if (!c.Open()) return;
  if (!c.Connect()) {
    ui::TimedNotice(3, "Nincs internet-kapcsolat!");
  } else {
    std::string found;
    if (c.session.Find("letolt/" + folder + "/V*.*", found)) marker = found;
    const std::string notice = "letolt/" + folder + "/uzenet.txt";
    if (c.session.Find(notice, found)) c.session.Get(notice, localFile);
  }
  c.session.Close();
  c.Hide();
}

bool FtpUpload(std::string_view folder) {
  Connection c;
  if (!c.Open()) return false;
  bool ok = false;
  if (!c.Connect()) {
    Message("Nincs kapcsolat!");
  } else {
    c.Hide();
    c.Show("Feltöltés "_cp + std::string(folder) + "........");
    ok = c.session.Put(kUploadFile, std::string(kUploadFolder) + std::string(folder) + "/mobt.zip");
    if (!ok) Message("A másolás nem sikerült!"_cp);
  }
  c.Disconnect();
  return ok;
}

void SetFtpTimeouts(const platform::FtpTimeouts& t) { timeouts = t; }
void ResetFtpTransfer() { timeouts = platform::FtpTimeouts{}; }

}  // namespace updater
