// Data files: the bytes on disk after each kind of change, the free chain,
// the counts, the open modes and the refusals.
#include <sys/stat.h>

#include "engine_fixture.h"
#include "text/literal.h"

namespace engine::testing {
namespace {

using namespace text::literals;

constexpr int kLen = 20;

class DataFileTest : public EngineTest {};

TEST_F(DataFileTest, NewFileIsOneHeaderSlot) {
  DataFile f;
  MakeDataFile(f, "UJ.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(ReadHost("UJ.DAT"), HeaderSlot(kLen, -1, 0, 0, 1));
  EXPECT_EQ(FileLength(f), 1);
  EXPECT_EQ(UsedRecords(f), 0);
  EXPECT_EQ(f.TableSlot, 1);
  EXPECT_EQ(OpenFileCount(), 1);
  CloseDataFile(f);
  EXPECT_EQ(OpenFileCount(), 0);
  // Closing without a transaction or shared use leaves the file as it was.
  EXPECT_EQ(ReadHost("UJ.DAT"), HeaderSlot(kLen, -1, 0, 0, 1));
}

// A script of adds ("a" + tag) and deletions ("d" + slot) and the file it
// must leave: the header, the numbers the adds got, and each slot after the
// header either live with its tag or free with its link.
struct SlotWant {
  bool live;
  int value;  // live: the record's tag; free: the next free slot
};
struct ChainCase {
  const char* name;
  std::vector<std::string> ops;
  std::vector<int32_t> numbers;
  int32_t firstFree, freeCount, slotCount;
  std::vector<SlotWant> slots;
};

TEST_F(DataFileTest, AddsDeletionsAndFreeChainBytes) {
  const ChainCase cases[] = {
      {"three adds", {"a1", "a2", "a3"}, {1, 2, 3}, -1, 0, 4,
       {{true, 1}, {true, 2}, {true, 3}}},
      {"delete 2 then add reuses 2", {"a1", "a2", "a3", "d2", "a4"}, {1, 2, 3, 2}, -1, 0, 4,
       {{true, 1}, {true, 4}, {true, 3}}},
      {"first deletion links to -1", {"a1", "a2", "a3", "d2"}, {1, 2, 3}, 2, 1, 4,
       {{true, 1}, {false, -1}, {true, 3}}},
      {"chain is a stack", {"a1", "a2", "a3", "d1", "d3"}, {1, 2, 3}, 3, 2, 4,
       {{false, -1}, {true, 2}, {false, 1}}},
      {"last in, first out", {"a1", "a2", "a3", "d1", "d3", "a7", "a8"}, {1, 2, 3, 3, 1}, -1, 0,
       4, {{true, 8}, {true, 2}, {true, 7}}},
      {"chain emptied then grows", {"a1", "d1", "a2", "a3"}, {1, 1, 2}, -1, 0, 3,
       {{true, 2}, {true, 3}}},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.name);
    DataFile f;
    MakeDataFile(f, "LANC.DAT", kLen);
    ASSERT_TRUE(OpOk);
    std::vector<int32_t> got;
    for (const std::string& op : c.ops) {
      const int v = std::stoi(op.substr(1));
      if (op[0] == 'a') {
        int32_t r = -99;
        const Bytes rec = Record(kLen, static_cast<uint8_t>(v));
        AddRecord(f, r, rec.data());
        got.push_back(r);
      } else {
        DeleteRecord(f, v);
      }
    }
    CloseDataFile(f);
    EXPECT_EQ(got, c.numbers);
    const Bytes all = ReadHost("LANC.DAT");
    ASSERT_EQ(all.size(), static_cast<size_t>(kLen) * c.slotCount);
    EXPECT_EQ(Slot("LANC.DAT", kLen, 0), HeaderSlot(kLen, c.firstFree, c.freeCount, 0, c.slotCount));
    for (size_t i = 0; i < c.slots.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const Bytes s = Slot("LANC.DAT", kLen, static_cast<int>(i) + 1);
      if (c.slots[i].live) {
        EXPECT_EQ(s, Record(kLen, static_cast<uint8_t>(c.slots[i].value)));
      } else {
        EXPECT_EQ(Get32(s, 0), c.slots[i].value);
        EXPECT_EQ(s[4], 0);
        // The rest of a deleted slot keeps what the record held.
        const Bytes before = Record(kLen, s[5] - 5);
        EXPECT_TRUE(std::equal(s.begin() + 5, s.end(), before.begin() + 5));
      }
    }
    std::filesystem::remove(Host("LANC.DAT"));
  }
}

TEST_F(DataFileTest, ReadingLiveAndFreeSlots) {
  DataFile f;
  MakeDataFile(f, "OLV.DAT", kLen);
  int32_t r1 = 0, r2 = 0;
  AddRecord(f, r1, Record(kLen, 1).data());
  AddRecord(f, r2, Record(kLen, 2).data());
  DeleteRecord(f, r1);
  Bytes buf(kLen);
  ReadRecord(f, r2, buf.data());
  EXPECT_TRUE(RecordLive);
  EXPECT_EQ(buf, Record(kLen, 2));
  ReadRecord(f, r1, buf.data());
  EXPECT_FALSE(RecordLive);
  ReadRecord(f, 0, buf.data());
  EXPECT_TRUE(RecordLive);  // the header counts as live
  EXPECT_EQ(Get32(buf, 0), r1);
  // A free slot read for update is not kept locked.
  ReadRecordForUpdate(f, r1, buf.data());
  EXPECT_FALSE(RecordLive);
  EXPECT_TRUE(f.HeldLocks.empty());
  EXPECT_EQ(UsedRecords(f), 1);
  EXPECT_EQ(FileLength(f), 3);

  // DeleteRecordAs writes the caller's bytes with link and marker replaced.
  Bytes as = Record(kLen, 9);
  DeleteRecordAs(f, r2, as.data());
  const Bytes s = Slot("OLV.DAT", kLen, r2);
  EXPECT_EQ(Get32(s, 0), r1);
  EXPECT_EQ(s[4], 0);
  EXPECT_TRUE(std::equal(s.begin() + 5, s.end(), as.begin() + 5));

  // ReadNextRecord walks the slots from the file position.
  f.Handle.Seek(0);
  ReadNextRecord(f, buf.data());
  EXPECT_EQ(Get32(buf, 0), r2);
  ReadNextRecord(f, buf.data());
  EXPECT_EQ(buf[4], 0);
  int64_t pos = 0;
  f.Handle.Position(pos);
  EXPECT_EQ(pos, 2 * kLen);
  CloseDataFile(f);
}

TEST_F(DataFileTest, LiveSlotsFollowTheFileSizeNotTheStoredCount) {
  // A header that says 2 slots over a file of 4 (a station stopped after
  // extending the file): the open counts 4.
  Bytes file = HeaderSlot(kLen, -1, 0, 0, 2);
  for (uint8_t t = 1; t <= 3; ++t) {
    const Bytes r = Record(kLen, t);
    file.insert(file.end(), r.begin(), r.end());
  }
  WriteHost("MERET.DAT", file);
  DataFile f;
  OpenDataFile(f, "MERET.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(f.LiveSlots, 4);
  EXPECT_EQ(f.SlotCount, 2);
  EXPECT_EQ(UsedRecords(f), 3);
  CloseDataFile(f);
}

TEST_F(DataFileTest, OpenFailuresReturnTheCode) {
  DataFile f;
  OpenDataFile(f, "NINCS.DAT", kLen);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(IoStatus, 2);
  EXPECT_EQ(f.TableSlot, 0);
  OpenDataFile(f, "T:\\NINCS\\X.DAT", kLen);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(IoStatus, 3);
  EXPECT_EQ(OpenFileCount(), 0);
  OpenOrMakeDataFile(f, "VAGY.DAT", kLen);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(ReadHost("VAGY.DAT"), HeaderSlot(kLen, -1, 0, 0, 1));
  CloseDataFile(f);
}

TEST_F(DataFileTest, RecordLengthOutsideTheLimitsIsRefused) {
  for (int32_t len : {0, 18, 10001, -5}) {
    SCOPED_TRACE(len);
    PressKeys("\r");
    DataFile f;
    MakeDataFile(f, "ROSSZ.DAT", len);
    EXPECT_FALSE(OpOk);
    EXPECT_EQ(IoStatus, 12);
    EXPECT_FALSE(std::filesystem::exists(Host("ROSSZ.DAT")));
  }
  for (int32_t len : {19, 10000}) {
    DataFile f;
    MakeDataFile(f, "JO.DAT", len);
    EXPECT_TRUE(OpOk);
    CloseDataFile(f);
    EXPECT_EQ(ReadHost("JO.DAT").size(), static_cast<size_t>(len));
  }
}

TEST_F(DataFileTest, RecordLengthMessageLines) {
  EXPECT_EQ(RecordLengthMessage("VEVO.DAT", 1234567, 20),
            "Hibás rekordhossz a(z) VEVO.DAT állománynál!"_cp + '\0' +
                "Fileméret  :   1.234.567"_cp + '\0' + "Rekordméret:   20  Nem osztható!"_cp);
}

TEST_F(DataFileTest, SizeNotDividedByRecLenStopsWithTheMessage) {
  WriteHost("CSONKA.DAT", Bytes(kLen + 3, 0));
  EXPECT_EXIT(
      {
        PressKeys("\r");
        DataFile f;
        OpenDataFile(f, "CSONKA.DAT", kLen);
        _exit(77);  // not reached
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DataFileTest, FileFoundOnlyThroughTheLocatorSkipsTheLengthCheck) {
  // In the program folder, not in the current one: size 0 counts, no stop.
  Bytes file = HeaderSlot(kLen, -1, 0, 0, 1);
  file.resize(kLen + 7, 0);
  std::ofstream(root_ + "/PRG/MASHOL.DAT", std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  DataFile f;
  OpenDataFile(f, "MASHOL.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(f.Name, "T:\\PRG\\MASHOL.DAT");
  EXPECT_EQ(f.LiveSlots, 1);
  CloseDataFile(f);
}

TEST_F(DataFileTest, ReadOnlyModeRefusesChanges) {
  DataFile w;
  MakeDataFile(w, "CSAKOLV.DAT", kLen);
  int32_t r = 0;
  AddRecord(w, r, Record(kLen, 5).data());
  CloseDataFile(w);
  const Bytes before = ReadHost("CSAKOLV.DAT");

  SetOpenMode(ModeReadOnly, 0);
  DataFile f;
  OpenDataFile(f, "CSAKOLV.DAT", kLen);
  RestoreOpenMode();
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(f.Mode, ModeReadOnly);
  int32_t number = 4711;
  PressKeys("\r\r\r");
  AddRecord(f, number, Record(kLen, 6).data());
  EXPECT_EQ(number, 4711);
  DeleteRecord(f, 1);
  DeleteRecordAs(f, 1, Record(kLen, 6).data());
  EXPECT_EQ(UsedRecords(f), 1);
  CloseDataFile(f);
  EXPECT_EQ(ReadHost("CSAKOLV.DAT"), before);
}

TEST_F(DataFileTest, StationCopiesAreFreshAndErasedAtClose) {
  settings::SetStationId("K2");
  SetOpenMode(ModeStationCopy, 0);
  DataFile f;
  OpenDataFile(f, "MUNKAFILE.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(f.Name, "MUNKAFK2.DAT");
  int32_t r = 0;
  AddRecord(f, r, Record(kLen, 3).data());
  EXPECT_EQ(r, 1);
  CloseDataFile(f);
  EXPECT_FALSE(std::filesystem::exists(Host("MUNKAFK2.DAT")));
  // Made (or opened) again: empty once more.
  MakeDataFile(f, "MUNKAFILE.DAT", kLen);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(ReadHost("MUNKAFK2.DAT"), HeaderSlot(kLen, -1, 0, 0, 1));
  EXPECT_EQ(UsedRecords(f), 0);
  CloseDataFile(f);
  RestoreOpenMode();
  settings::SetStationId("");
}

TEST_F(DataFileTest, ExclusiveModeKeepsTheHeaderAndWritesItAtClose) {
  DataFile s;
  MakeDataFile(s, "KIZAR.DAT", kLen);
  CloseDataFile(s);
  DataFile f;
  OpenDataFileExclusive(f, "KIZAR.DAT", kLen);
  ASSERT_TRUE(OpOk);
  int32_t r = 0;
  AddRecord(f, r, Record(kLen, 1).data());
  AddRecord(f, r, Record(kLen, 2).data());
  // The header on disk is only written at close.
  EXPECT_EQ(Slot("KIZAR.DAT", kLen, 0), HeaderSlot(kLen, -1, 0, 0, 1));
  // Others may only read meanwhile: another open for writing is refused.
  DataFile other;
  OpenDataFile(other, "KIZAR.DAT", kLen);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(IoStatus, 5);
  SetOpenMode(ModeReadOnly, 0);
  OpenDataFile(other, "KIZAR.DAT", kLen);
  RestoreOpenMode();
  EXPECT_TRUE(OpOk);
  CloseDataFile(other);
  CloseDataFile(f);
  EXPECT_EQ(Slot("KIZAR.DAT", kLen, 0), HeaderSlot(kLen, -1, 0, 0, 3));
}

TEST_F(DataFileTest, TableIsFullAfter200Files) {
  std::vector<std::unique_ptr<DataFile>> files;
  DataFile first;
  MakeDataFile(first, "SOK.DAT", kLen);
  for (int i = 2; i <= 200; ++i) {
    files.push_back(std::make_unique<DataFile>());
    OpenDataFile(*files.back(), "SOK.DAT", kLen);
    ASSERT_EQ(files.back()->TableSlot, i);
  }
  EXPECT_EQ(OpenFileCount(), 200);
  // Two more opens: each shows the message once and registers nothing.
  for (int extra = 0; extra < 2; ++extra) {
    AnswerBoxes();
    DataFile over;
    OpenDataFile(over, "SOK.DAT", kLen);
    EXPECT_TRUE(OpOk);
    EXPECT_EQ(over.TableSlot, 0);
    EXPECT_TRUE(ShownOnce("Túl sok file!"_cpv));
    EXPECT_EQ(TableHighWater(), 200);
    CloseDataFile(over);
  }
  // A freed entry is handed out again.
  CloseDataFile(*files[10]);
  DataFile again;
  OpenDataFile(again, "SOK.DAT", kLen);
  EXPECT_EQ(again.TableSlot, 12);
  CloseAllFiles();
  EXPECT_EQ(OpenFileCount(), 0);
  EXPECT_EQ(TableHighWater(), 0);
  EXPECT_FALSE(first.Handle.IsOpen());
}

TEST_F(DataFileTest, OpenModeSettingsKeepOneLevel) {
  SetOpenMode(ModeReadOnly, 1);
  SetOpenMode(ModeDenyWrite, 0);
  RestoreOpenMode();
  EXPECT_EQ(CurrentOpenMode, ModeReadOnly);
  EXPECT_EQ(CurrentMembership, 1);
  RestoreOpenMode();  // the save slot held one level only
  EXPECT_EQ(CurrentOpenMode, ModeReadOnly);
  ResetOpenMode();
  EXPECT_EQ(CurrentOpenMode, ModeShared);
  EXPECT_EQ(CurrentMembership, 0);
}

TEST_F(DataFileTest, RecreateAndFlushKeepNameModeAndMembership) {
  DataFile f;
  SetOpenMode(ModeShared, 1);
  MakeDataFile(f, "UJRA.DAT", kLen);
  RestoreOpenMode();
  int32_t r = 0;
  AddRecord(f, r, Record(kLen, 1).data());
  FlushFile(f);
  EXPECT_EQ(UsedRecords(f), 1);
  RecreateDataFile(f);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(UsedRecords(f), 0);
  EXPECT_EQ(TableEntry(f.TableSlot).member, 1);
  EXPECT_EQ(CurrentMembership, 0);
  CloseDataFile(f);
  EXPECT_EQ(ReadHost("UJRA.DAT"), HeaderSlot(kLen, -1, 0, 0, 1));
}

}  // namespace
}  // namespace engine::testing
