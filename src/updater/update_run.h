// The update run: the title screen, the question, and on "Igen" the download
// of the suite's archive and the unpacking tool into a work folder under the
// temporary folder, the unpacking, the check of the three files the suite's
// own update program needs, and the start of that program.
#pragma once

#include <string>
#include <string_view>

namespace updater {

// The files of the run.
inline constexpr std::string_view ArchiveName = "domva.zip";
inline constexpr std::string_view PayloadName = "lunemind.zip";
inline constexpr std::string_view WorkFolderName = "$TEMPRGR";

// Draws the program's background (a double frame over rows 2..24 filled with
// "░") and its main box with a blank inside, the box's shadow first when
// shadow is not 0, and leaves the text window set to the inside of the box
// with the cursor at its top-left. left = 0 gives the default box, columns
// 10..70 and rows 6..19. Frame styles: 1 single, 4 none (blanks), 5 shade,
// any other double.
void DrawProgramScreen(int left, int top, int right, int bottom, int frameStyle, int shadow);

// The folder of the program's own file: the path up to its last "\", "/" or
// ":", without a final "\" or "/" unless that closes a drive's root.
std::string ProgramFolderOf(std::string_view programFile);

// The client id in the program's own file name: the name without its
// extension and blanks, without a "(...)" and then a "[...]" part (the
// numbered suffix of a saved copy), and without its first five characters.
// "vfris1234 (2).exe" gives "1234"; a name of five characters or fewer gives
// an empty id.
std::string ClientIdOf(std::string_view programFile);

// The server folder of the archive: "ugy26/" + the client id, or the
// default program id when the client id is empty.
std::string RemoteFolderFor(std::string_view clientId);

// The whole run after start-up, for the program whose own file is
// programFile (a DOS path). Ends with the program's folder current (the
// start folder after "Nem").
void UpdateRun(std::string_view programFile);

}  // namespace updater
