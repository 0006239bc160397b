// Locks, transactions and shared use between stations. A station is a child
// process or, where only the open files matter, a second descriptor of the
// same file in this process (each open is its own open file with its own
// locks, as two stations would be).
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <iostream>

#include "engine_fixture.h"
#include "text/literal.h"

namespace engine::testing {
namespace {

using namespace text::literals;

constexpr int kLen = 24;

class LockingTest : public EngineTest {
 protected:
  void MakeWith(const char* name, int records) {
    DataFile f;
    MakeDataFile(f, name, kLen);
    for (int i = 1; i <= records; ++i) {
      int32_t r = 0;
      AddRecord(f, r, Record(kLen, static_cast<uint8_t>(i)).data());
    }
    CloseDataFile(f);
  }
  Bytes Header(const char* name) { return Slot(name, kLen, 0); }

  static inline int polls = 0;
  static inline std::function<void(int)> onPoll;
  void HookPolls(std::function<void(int)> fn) {
    polls = 0;
    onPoll = std::move(fn);
    WaitPollHook = [] { onPoll(++polls); };
  }
};

TEST_F(LockingTest, TwoStationsAddingGetDifferentNumbers) {
  MakeWith("KOZOS.DAT", 0);
  constexpr int kEach = 60;
  std::vector<pid_t> pids;
  for (int s = 1; s <= 2; ++s) {
    pids.push_back(Station([s] {
      DataFile f;
      OpenDataFile(f, "KOZOS.DAT", kLen);
      if (!OpOk) return 1;
      std::vector<int32_t> mine;
      for (int i = 0; i < kEach; ++i) {
        int32_t r = 0;
        AddRecord(f, r, Record(kLen, static_cast<uint8_t>(s * 100)).data());
        mine.push_back(r);
        // Every third record of its own goes again: the free chain is shared.
        if (i % 3 == 2) {
          DeleteRecord(f, mine[mine.size() - 2]);
          mine.erase(mine.end() - 2);
        }
      }
      CloseDataFile(f);
      return 0;
    }));
  }
  for (pid_t p : pids) EXPECT_EQ(WaitStation(p), 0);

  DataFile f;
  OpenDataFile(f, "KOZOS.DAT", kLen);
  ASSERT_TRUE(OpOk);
  const int32_t slots = FileLength(f);
  int live[3] = {0, 0, 0};
  std::vector<int32_t> freeSlots;
  Bytes buf(kLen);
  for (int32_t r = 1; r < slots; ++r) {
    ReadRecord(f, r, buf.data());
    if (RecordLive) {
      ASSERT_TRUE(buf[4] == 100 || buf[4] == 200) << r;
      ++live[buf[4] / 100];
    } else {
      freeSlots.push_back(r);
    }
  }
  // Each kept two of every three; no record overwrote another's.
  EXPECT_EQ(live[1], kEach * 2 / 3);
  EXPECT_EQ(live[2], kEach * 2 / 3);
  EXPECT_EQ(UsedRecords(f), live[1] + live[2]);
  // The chain holds exactly the free slots, each once.
  std::vector<int32_t> chain;
  for (int32_t r = f.FirstFree; r != -1 && chain.size() <= freeSlots.size(); r = Get32(buf, 0)) {
    chain.push_back(r);
    ReadRecord(f, r, buf.data());
  }
  std::sort(chain.begin(), chain.end());
  EXPECT_EQ(chain, freeSlots);
  EXPECT_EQ(f.FreeCount, static_cast<int32_t>(freeSlots.size()));
  CloseDataFile(f);
}

TEST_F(LockingTest, ReaderOfAHeldRecordGetsAllButTheLastByte) {
  MakeWith("FOGLAL.DAT", 2);
  Channel ch;
  const pid_t pid = Station([&] {
    DataFile f;
    OpenDataFile(f, "FOGLAL.DAT", kLen);
    Bytes b(kLen);
    ReadRecordForUpdate(f, 2, b.data());
    ch.TellParent('h');
    ch.FromParent();
    return 0;
  });
  ASSERT_EQ(ch.FromChild(), 'h');
  DataFile f;
  OpenDataFile(f, "FOGLAL.DAT", kLen);
  Bytes buf(kLen, 0xEE);
  ReadRecord(f, 2, buf.data());
  const Bytes want = Record(kLen, 2);
  EXPECT_TRUE(std::equal(want.begin(), want.end() - 1, buf.begin()));
  EXPECT_EQ(buf.back(), 0xEE);
  EXPECT_TRUE(RecordLive);
  EXPECT_TRUE(RecordLockedByOther(f, 2));
  EXPECT_FALSE(RecordLockedByOther(f, 1));
  ch.TellChild('g');
  EXPECT_EQ(WaitStation(pid), 0);
  EXPECT_FALSE(RecordLockedByOther(f, 2));
  ReadRecord(f, 2, buf.data());
  EXPECT_EQ(buf, want);
  CloseDataFile(f);
}

TEST_F(LockingTest, ReadForUpdateWaitsWithTheBoxUntilTheOtherWrites) {
  MakeWith("VAR.DAT", 3);
  Channel ch;
  constexpr int kHoldMs = 300;
  const pid_t pid = Station([&] {
    DataFile f;
    OpenDataFile(f, "VAR.DAT", kLen);
    Bytes b(kLen);
    ReadRecordForUpdate(f, 3, b.data());
    ch.TellParent('h');
    ch.FromParent();  // the parent is waiting now
    std::this_thread::sleep_for(std::chrono::milliseconds(kHoldMs));
    WriteRecord(f, 3, Record(kLen, 77).data());
    return 0;
  });
  ASSERT_EQ(ch.FromChild(), 'h');
  DataFile f;
  OpenDataFile(f, "VAR.DAT", kLen);
  bool boxSeen = false;
  HookPolls([&](int n) {
    if (n == 1) {
      boxSeen = ScreenHolds("Egy kis türelmet kérek"_cpv) && ScreenHolds("a rekord foglalt !") &&
                ScreenHolds("File: VAR.DAT") && ScreenHolds("Rec.no: 3");
      ch.TellChild('g');
    }
  });
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  Bytes buf(kLen);
  ReadRecordForUpdate(f, 3, buf.data());
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  getrusage(RUSAGE_SELF, &after);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  const double cpuMs = ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) -
                       ms(before.ru_stime);
  std::cout << "lock wait: " << wallMs << " ms wall, " << cpuMs << " ms CPU, " << polls
            << " polls\n";
  EXPECT_TRUE(boxSeen);
  EXPECT_EQ(buf, Record(kLen, 77));
  EXPECT_TRUE(RecordLive);
  EXPECT_GE(wallMs, kHoldMs * 0.9);
  // The wait sleeps between polls: far less CPU than wall time (sanitizers
  // included), and polls at most every couple of milliseconds.
  EXPECT_LT(cpuMs, wallMs * 0.25);
  EXPECT_GT(polls, kHoldMs / 3);
  // The box is gone and the record is this station's now.
  EXPECT_FALSE(ScreenHolds("a rekord foglalt !"));
  EXPECT_EQ(f.HeldLocks, std::vector<int32_t>{3});
  EXPECT_EQ(WaitStation(pid), 0);
  DataFile other;
  OpenDataFile(other, "VAR.DAT", kLen);
  EXPECT_TRUE(RecordLockedByOther(other, 3));
  WriteRecord(f, 3, buf.data());
  EXPECT_FALSE(RecordLockedByOther(other, 3));
  CloseDataFile(other);
  CloseDataFile(f);
}

TEST_F(LockingTest, ClosingAnotherDescriptorKeepsTheLocks) {
  MakeWith("ZAR.DAT", 2);
  DataFile f, g, probe;
  OpenDataFile(f, "ZAR.DAT", kLen);
  Bytes buf(kLen);
  ReadRecordForUpdate(f, 1, buf.data());
  OpenDataFile(g, "ZAR.DAT", kLen);
  CloseDataFile(g);
  // Another station (a child) still finds the record held.
  const pid_t pid = Station([] {
    DataFile s;
    OpenDataFile(s, "ZAR.DAT", kLen);
    return RecordLockedByOther(s, 1) && !RecordLockedByOther(s, 2) ? 0 : 1;
  });
  EXPECT_EQ(WaitStation(pid), 0);
  // Reading its own held record does not release it.
  ReadRecord(f, 1, buf.data());
  OpenDataFile(probe, "ZAR.DAT", kLen);
  EXPECT_TRUE(RecordLockedByOther(probe, 1));
  // FlushFile drops every lock of the file.
  FlushFile(f);
  EXPECT_FALSE(RecordLockedByOther(probe, 1));
  CloseDataFile(probe);
  CloseDataFile(f);
}

TEST_F(LockingTest, LockingSwitches) {
  MakeWith("KAPCS.DAT", 1);
  DataFile f, probe;
  OpenDataFile(f, "KAPCS.DAT", kLen);
  OpenDataFile(probe, "KAPCS.DAT", kLen);
  Bytes buf(kLen);
  SetLocking(false);
  ReadRecordForUpdate(f, 1, buf.data());
  EXPECT_FALSE(RecordLockedByOther(probe, 1));  // no lock taken
  SetLocking(true);
  ReadRecordForUpdate(f, 1, buf.data());
  EXPECT_TRUE(RecordLockedByOther(probe, 1));
  WriteRecord(f, 1, buf.data());

  SuspendLocking();
  SuspendLocking();
  ResumeLocking();
  EXPECT_FALSE(LockingEnabled);
  ResumeLocking();
  EXPECT_TRUE(LockingEnabled);
  ResumeLocking();
  EXPECT_TRUE(LockingEnabled);
  EXPECT_EQ(LockSuspendDepth, 0);
  PauseLocking();
  EXPECT_FALSE(LockingEnabled);
  RestoreLocking();
  EXPECT_TRUE(LockingEnabled);

  // Deny-write mode: no byte lock at all, for any file.
  SetOpenMode(ModeDenyWrite, 0);
  ReadRecordForUpdate(f, 1, buf.data());
  RestoreOpenMode();
  EXPECT_FALSE(RecordLockedByOther(probe, 1));
  CloseDataFile(probe);
  CloseDataFile(f);
}

TEST_F(LockingTest, NestedTransactionsAndSharedUse) {
  MakeWith("TRANZ.DAT", 1);
  DataFile f;
  OpenDataFile(f, "TRANZ.DAT", kLen);
  EXPECT_TRUE(BeginTransaction(f));
  EXPECT_TRUE(BeginTransaction(f));
  EXPECT_EQ(Header("TRANZ.DAT")[16], 1);
  EXPECT_TRUE(BeginSharedUse(f));  // ignored inside a transaction
  EndTransaction(f);
  EXPECT_EQ(Header("TRANZ.DAT")[16], 1);
  EndTransaction(f);
  EXPECT_EQ(Header("TRANZ.DAT")[16], 0);
  EXPECT_EQ(f.TransactionDepth, 0);

  EXPECT_TRUE(BeginSharedUse(f));
  EXPECT_TRUE(BeginSharedUse(f));
  EXPECT_EQ(Header("TRANZ.DAT")[17], 1);
  EXPECT_TRUE(BeginTransaction(f));  // ignored in shared use
  EndSharedUse(f);
  EXPECT_EQ(Header("TRANZ.DAT")[17], 1);
  EndSharedUse(f);
  EXPECT_EQ(Header("TRANZ.DAT")[17], 0);

  // Ending what was never begun: the message, nothing changes.
  AnswerBoxes();
  const Bytes before = ReadHost("TRANZ.DAT");
  EndTransaction(f);
  EXPECT_TRUE(ShownOnce("A programozó elrontotta"_cpv));
  EndSharedUse(f);
  EXPECT_EQ(Shown.size(), 2u);
  EXPECT_EQ(ReadHost("TRANZ.DAT"), before);
  EXPECT_EQ(f.TransactionDepth, 0);
  EXPECT_EQ(f.SharedDepth, 0);

  // Closing ends this program's transaction and shared use.
  EXPECT_TRUE(BeginTransaction(f));
  CloseDataFile(f);
  EXPECT_EQ(Header("TRANZ.DAT")[16], 0);
  OpenDataFile(f, "TRANZ.DAT", kLen);
  EXPECT_TRUE(BeginSharedUse(f));
  CloseDataFile(f);
  EXPECT_EQ(Header("TRANZ.DAT")[17], 0);
}

// Another station holds the file; this one waits with the box and gives up
// with Esc, leaving the header as it was; once the other lets go it enters.
TEST_F(LockingTest, TransactionsAgainstOtherStations) {
  struct Case {
    const char* name;
    bool otherShared;  // the other station holds shared use, else a transaction
    bool mineShared;   // this station asks for shared use, else a transaction
    const char* line;
  };
  const Case cases[] = {
      {"transaction against shared use", true, false, "   A file-t foglalják!   "},
      {"transaction against transaction", false, false, "   Tranzakció folyik!    "},
      {"shared use against transaction", false, true, "   Tranzakció folyik!    "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeWith("MASIK.DAT", 1);
    Channel ch;
    const pid_t pid = Station([&] {
      DataFile f;
      OpenDataFile(f, "MASIK.DAT", kLen);
      if (!(c.otherShared ? BeginSharedUse(f) : BeginTransaction(f))) return 1;
      ch.TellParent('h');
      ch.FromParent();
      CloseDataFile(f);  // ends it
      ch.TellParent('e');
      return 0;
    });
    ASSERT_EQ(ch.FromChild(), 'h');
    const Bytes held = Header("MASIK.DAT");
    DataFile f;
    OpenDataFile(f, "MASIK.DAT", kLen);
    bool boxSeen = false;
    HookPolls([&](int n) {
      if (n == 5) {
        boxSeen = ScreenHolds(std::string(c.line) == "   A file-t foglalják!   "
                                  ? std::string("   A file-t foglalják!   "_cp)
                                  : std::string("   Tranzakció folyik!    "_cp)) &&
                  ScreenHolds("Várjon,vagy Esc-el vissza"_cpv) && ScreenHolds("MASIK.DAT");
        PressKeys("\x1b");
      }
    });
    EXPECT_FALSE(c.mineShared ? BeginSharedUse(f) : BeginTransaction(f));
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(ScreenHolds("Várjon,vagy Esc-el vissza"_cpv));
    EXPECT_EQ(Header("MASIK.DAT"), held);
    EXPECT_EQ(f.TransactionDepth + f.SharedDepth, 0);
    // The other station ends; now it goes through (waiting if need be).
    ch.TellChild('g');
    ASSERT_EQ(ch.FromChild(), 'e');
    HookPolls([](int) {});
    EXPECT_TRUE(c.mineShared ? BeginSharedUse(f) : BeginTransaction(f));
    EXPECT_EQ(Header("MASIK.DAT")[c.mineShared ? 17 : 16], 1);
    CloseDataFile(f);
    EXPECT_EQ(WaitStation(pid), 0);
    std::filesystem::remove(Host("MASIK.DAT"));
  }
}

TEST_F(LockingTest, MemberTransactionsLeaveAgainOnEsc) {
  MakeWith("TAG1.DAT", 1);
  MakeWith("TAG2.DAT", 1);
  DataFile a, b, other;
  OpenDataFile(a, "TAG1.DAT", kLen);
  SetMembership(a, 1);
  SetOpenMode(ModeShared, 1);
  OpenDataFile(b, "TAG2.DAT", kLen);
  RestoreOpenMode();
  EXPECT_EQ(TableEntry(b.TableSlot).member, 1);
  OpenDataFile(other, "TAG2.DAT", kLen);  // not a member
  ASSERT_TRUE(BeginTransaction(other));   // as another station would
  HookPolls([&](int n) {
    if (n == 3) PressKeys("\x1b");
  });
  EXPECT_FALSE(BeginMemberTransactions());
  EXPECT_EQ(Header("TAG1.DAT")[16], 0);  // entered, then left again
  EXPECT_EQ(a.TransactionDepth, 0);
  EndTransaction(other);
  EXPECT_TRUE(BeginMemberTransactions());
  EXPECT_EQ(Header("TAG1.DAT")[16], 1);
  EXPECT_EQ(Header("TAG2.DAT")[16], 1);
  EndMemberTransactions();
  EXPECT_EQ(Header("TAG1.DAT")[16], 0);
  EXPECT_EQ(Header("TAG2.DAT")[16], 0);
  ClearMemberships();
  EXPECT_EQ(TableEntry(a.TableSlot).member, 0);
  CloseAllFiles();
}

TEST_F(LockingTest, StoppedStationsHeaderWordsAreCleared) {
  MakeWith("A.DAT", 1);
  MakeWith("B.DAT", 1);
  MakeWith("JOG.DAT", 1);
  MakeWith("C_SAJAT.DAT", 1);
  WriteHost("SZOVEG.DAT", Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm',
                                'n', 'o', 'p', 'q', 'r', 's', 't'});
  const pid_t pid = Station([] {
    DataFile a, b, j, c;
    OpenDataFile(a, "A.DAT", kLen);
    OpenDataFile(b, "B.DAT", kLen);
    OpenDataFile(j, "JOG.DAT", kLen);
    OpenDataFile(c, "C_SAJAT.DAT", kLen);
    if (!BeginTransaction(a) || !BeginSharedUse(b) || !BeginTransaction(j) || !BeginSharedUse(c))
      return 1;
    return 0;  // stops without closing
  });
  ASSERT_EQ(WaitStation(pid), 0);
  EXPECT_EQ(Header("A.DAT")[16], 1);
  EXPECT_EQ(Header("B.DAT")[17], 1);

  std::string listing;
  const int n = ResetStuckHeaders("T:\\DATA\\*.dat", "sajat", "JEL.DAT;JOG.DAT",
                                  [&](std::string_view s, bool end) {
                                    listing += s;
                                    if (end) listing += '\n';
                                  });
  EXPECT_EQ(n, 3);
  EXPECT_EQ(listing, "    1. A.DAT Tranzakció!\n    2. B.DAT Lock!\n    3. SZOVEG.DAT Tranzakció! Lock!\n"_cp);
  EXPECT_EQ(Header("A.DAT"), HeaderSlot(kLen, -1, 0, 0, 2));
  EXPECT_EQ(Header("B.DAT"), HeaderSlot(kLen, -1, 0, 0, 2));
  EXPECT_EQ(Header("JOG.DAT")[16], 1);      // excluded by name
  EXPECT_EQ(Header("C_SAJAT.DAT")[17], 1);  // excluded by part
  const Bytes text = ReadHost("SZOVEG.DAT");
  EXPECT_EQ(std::string(text.begin(), text.begin() + 16), "abcdefghijklmnop");
  EXPECT_EQ(text[16], 0);
  EXPECT_EQ(text[18], 0);
  EXPECT_EQ(text[19], 't');
  // Nothing left to clear: listed without a remark.
  listing.clear();
  ResetStuckHeaders("T:\\DATA\\A.DAT", "", "", [&](std::string_view s, bool end) {
    listing += s;
    if (end) listing += '\n';
  });
  EXPECT_EQ(listing, "    1. A.DAT\n");
}

TEST_F(LockingTest, PollPausesStayShort) {
  EXPECT_EQ(PollPauseMicros(0), 0);
  int most = 0;
  for (int i = 0; i < 1000; ++i) most = std::max(most, PollPauseMicros(i));
  EXPECT_LE(most, 2000);
  EXPECT_GT(PollPauseMicros(50), 0);
}

}  // namespace
}  // namespace engine::testing
