// The texts of the run-time codes, the fatal report (death tests: exit code,
// terminal lines, log line), a disk-full write, and damaged files that must
// end in the report rather than in a crash or a hang.
#include <sys/resource.h>

#include <regex>

#include "engine_fixture.h"
#include "text/literal.h"

namespace engine::testing {
namespace {

using namespace text::literals;

constexpr int kLen = 20;

TEST(RuntimeErrorTextTest, Table) {
  const struct {
    int code;
    std::string text;
  } cases[] = {
      {0, ""},
      {1, "Hibaüzenet neve ismeretlen"_cp},
      {300, "Hibaüzenet neve ismeretlen"_cp},
      {-5, "Hibaüzenet neve ismeretlen"_cp},
      {155, "Invalid drive specified"},
      {2, "A file nem létezik"_cp},
      {5, "A file nem hozzáférhetö"_cp},
      {100, "Lemez olvasási hiba"_cp},
      {101, "Lemez írási hiba"_cp},
      {162, "A hardware meghibásodott"_cp},
      {216, "General Protection fault"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(RuntimeErrorText(c.code), c.text);
  }
}

TEST(RuntimeErrorTextTest, OsErrorMapping) {
  const int cases[][2] = {{19, 150}, {21, 152}, {31, 162}, {32, 5}, {2, 2}, {18, 18}, {33, 33}};
  for (const auto& c : cases) EXPECT_EQ(RuntimeCodeOfOsError(c[0]), c[1]) << c[0];
}

TEST(FatalReportTest, TextLinesAndLogLine) {
  EXPECT_EQ(FatalReportText(101), "Data access I/O error :101:Lemez írási hiba"_cp);
  EXPECT_EQ(FatalReportText(2), "Data access I/O error :  2:A file nem létezik"_cp);
  EXPECT_EQ(FatalConsoleLines(101, "T:\\DATA\\VEVO.DAT", 7),
            "\nDATA-access I/O error 101 \nFile T:\\DATA\\VEVO.DAT Record 7\nProgram aborted\n");
  settings::SetStationId("K1");
  EXPECT_EQ(ErrorLogLine({2026, 3, 5, 9, 7, 3}, FatalReportText(100), "VEVO.DAT   ", 12),
            "Data Access Error 9:7:3 3/5/2026Data access I/O error :100:Lemez olvasási hiba"
            " File: VEVO.DAT Record: 12 Station:K1"_cp);
  settings::SetStationId("");
}

class FatalTest : public EngineTest {
 protected:
  // The log line pattern of a report with this text, file and record.
  static std::string LogPattern(const std::string& reportUtf8, const std::string& name, int rec) {
    return "^Data Access Error [0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2} [0-9]{1,2}/[0-9]{1,2}/[0-9]{4}" +
           reportUtf8 + " File: " + name + " Record: " + std::to_string(rec) + " Station:\r\n$";
  }
  std::string LogUtf8() const {
    const Bytes b = ReadHost("DAVADAR.ERR");
    return platform::Cp852ToUtf8(std::string(b.begin(), b.end()));
  }
  static std::string Escaped(std::string s) {
    std::string out;
    for (char c : s) {
      if (std::strchr("\\^$.|?*+()[]{}", c)) out += '\\';
      out += c;
    }
    return out;
  }
};

TEST_F(FatalTest, CheckIoStatusReportsLogsAndStops) {
  DataFile f;
  f.Name = "T:\\DATA\\VEVO.DAT";
  EXPECT_EXIT(
      {
        PressKeys("x");  // the key the report waits for
        IoStatus = 5;
        CheckIoStatus(f, 42);
        _exit(99);
      },
      ::testing::ExitedWithCode(5),
      "\nDATA-access I/O error 5 \nFile T:\\\\DATA\\\\VEVO.DAT Record 42\nProgram aborted\n");
  const std::string log = LogUtf8();
  EXPECT_TRUE(std::regex_search(
      log, std::regex(LogPattern(Escaped("Data access I/O error :  5:A file nem hozzáférhetö"),
                                 Escaped("T:\\DATA\\VEVO.DAT"), 42))))
      << log;
  // Nothing happens for 0.
  IoStatus = 0;
  CheckIoStatus(f, 1);
}

TEST_F(FatalTest, SecondFormStopsWithZero) {
  DataFile f;
  f.Name = "X.DAT";
  EXPECT_EXIT(
      {
        PressKeys("x");
        IoStatus = 100;
        CheckIoStatusWaitKey(f, 3);
        _exit(99);
      },
      ::testing::ExitedWithCode(0), "DATA-access I/O error 100 ");
  EXPECT_NE(LogUtf8().find("Record: 3 Station:"), std::string::npos);
}

TEST_F(FatalTest, LogThatCannotBeWrittenIsSkipped) {
  std::filesystem::create_directory(Host("DAVADAR.ERR"));  // a folder in its place
  DataFile f;
  f.Name = "Y.DAT";
  EXPECT_EXIT(
      {
        PressKeys("x");
        IoStatus = 162;
        CheckIoStatus(f, 0);
      },
      ::testing::ExitedWithCode(162), "Program aborted");
}

TEST_F(FatalTest, StopWithMessage) {
  EXPECT_EXIT(
      {
        PressKeys("\r");
        StopWithMessage("nincs papír"_cp);
      },
      ::testing::ExitedWithCode(0), "");
}

// A write that finds the disk full (here: the process's file size limit)
// gives 101, the report names the slot, and the file stays whole.
TEST_F(FatalTest, DiskFullDuringAddRecord) {
  // Records large enough that the limit leaves room for the report's own
  // output and log line, which the limit also governs.
  constexpr int kLen = 400;
  DataFile f;
  MakeDataFile(f, "TELE.DAT", kLen);
  int32_t r = 0;
  AddRecord(f, r, Record(kLen, 1).data());
  CloseDataFile(f);
  const Bytes before = ReadHost("TELE.DAT");
  auto limitFileSize = [](rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &rl);
  };
  EXPECT_EXIT(
      {
        limitFileSize(2 * kLen + 100);
        PressKeys("x");
        DataFile g;
        OpenDataFile(g, "TELE.DAT", kLen);
        int32_t n = 0;
        AddRecord(g, n, Record(kLen, 2).data());
        _exit(99);
      },
      ::testing::ExitedWithCode(101), "DATA-access I/O error 101 \nFile TELE.DAT Record 2\n");
  EXPECT_TRUE(std::regex_search(
      LogUtf8(), std::regex(LogPattern(Escaped("Data access I/O error :101:Lemez írási hiba"),
                                       "TELE\\.DAT", 2))));
  // Readable afterwards, with what it held.
  EXPECT_EQ(ReadHost("TELE.DAT"), before);
  DataFile g;
  OpenDataFile(g, "TELE.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(UsedRecords(g), 1);
  Bytes buf(kLen);
  ReadRecord(g, 1, buf.data());
  EXPECT_EQ(buf, Record(kLen, 1));
  CloseDataFile(g);
}

// Damaged files: each ends in the report with a code (or the open fails with
// one), within a time limit.
struct DamageCase {
  const char* name;
  std::function<Bytes()> file;
  std::function<void(DataFile&)> use;
  int code;
};

TEST_F(FatalTest, DamagedFilesEndInTheReport) {
  auto withRecords = [](Bytes header, int n) {
    for (int i = 1; i <= n; ++i) {
      const Bytes r = Record(kLen, static_cast<uint8_t>(i));
      header.insert(header.end(), r.begin(), r.end());
    }
    return header;
  };
  auto add = [](DataFile& f) {
    int32_t r = 0;
    AddRecord(f, r, Record(kLen, 9).data());
  };
  auto freeSlot = [](Bytes b, int slot, int32_t link) {
    Put32(b, static_cast<size_t>(slot) * kLen, link);
    b[static_cast<size_t>(slot) * kLen + 4] = 0;
    return b;
  };
  const DamageCase cases[] = {
      {"empty file", [] { return Bytes(); }, [](DataFile&) {}, 100},
      {"free chain beyond the end", [&] { return withRecords(HeaderSlot(kLen, 9, 1, 0, 3), 2); },
       add, 100},
      {"free chain to the header", [&] { return withRecords(HeaderSlot(kLen, 0, 1, 0, 3), 2); },
       add, 100},
      {"negative free chain", [&] { return withRecords(HeaderSlot(kLen, -7, 1, 0, 3), 2); }, add,
       100},
      {"free chain loops",
       [&] { return freeSlot(withRecords(HeaderSlot(kLen, 2, 2, 0, 3), 2), 2, 2); },
       [&](DataFile& f) {
         add(f);
         add(f);
       },
       100},
      // The slot count read at the open does not count (the file's size
      // does): such a file works and gets its count mended.
      {"slot count beyond the file", [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 50), 2); },
       [&](DataFile& f) {
         add(f);
         if (f.LiveSlots == 4 && Get32(Slot("SERULT.DAT", kLen, 0), 12) == 4) _exit(98);
       },
       98},
      // A header damaged on disk while the file is open.
      {"slot count changed beyond the file",
       [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 3), 2); },
       [&](DataFile& f) {
         Bytes b = ReadHost("SERULT.DAT");
         Put32(b, 12, 50);
         WriteHost("SERULT.DAT", b);
         UsedRecords(f);
       },
       100},
      {"negative slot count changed",
       [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 3), 2); },
       [&](DataFile& f) {
         Bytes b = ReadHost("SERULT.DAT");
         Put32(b, 12, -3);
         WriteHost("SERULT.DAT", b);
         add(f);
       },
       100},
      {"record beyond the end", [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 3), 2); },
       [](DataFile& f) {
         Bytes b(kLen);
         ReadRecordForUpdate(f, 7, b.data());
       },
       100},
      {"negative record", [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 3), 2); },
       [](DataFile& f) {
         Bytes b(kLen);
         ReadRecord(f, -2, b.data());
       },
       131},
      {"deleting the header", [&] { return withRecords(HeaderSlot(kLen, -1, 0, 0, 3), 2); },
       [](DataFile& f) { DeleteRecord(f, 0); }, 201},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteHost("SERULT.DAT", c.file());
    EXPECT_EXIT(
        {
          alarm(10);  // a hang shows as SIGALRM, not as the exit code
          PressKeys("x");
          DataFile f;
          OpenDataFile(f, "SERULT.DAT", kLen);
          if (!OpOk) _exit(200 + IoStatus);
          c.use(f);
          _exit(99);
        },
        ::testing::ExitedWithCode(c.code), c.code == 98 ? "" : "Program aborted");
  }
}

}  // namespace
}  // namespace engine::testing
