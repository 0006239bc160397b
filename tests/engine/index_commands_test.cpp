// The isam commands for index files: load, keys and check, run in process
// on the test's folder.
#include <stdio.h>

#include "../apps/isam/index_commands.cpp"
#include "index_test_util.h"

namespace engine::testing {
namespace {

class IndexCommandsTest : public EngineTest {
 protected:
  struct Result {
    int code;
    std::string out;
    std::string err;
  };
  Result Run(std::vector<std::string> args, const std::string& input = "") {
    std::string in = input;
    FILE* inFile = fmemopen(in.empty() ? nullptr : in.data(), in.empty() ? 1 : in.size(), "r");
    char* outBuf = nullptr;
    char* errBuf = nullptr;
    size_t outLen = 0, errLen = 0;
    FILE* out = open_memstream(&outBuf, &outLen);
    FILE* err = open_memstream(&errBuf, &errLen);
    const int code = isam_index::Run(args, {inFile, out, err});
    fclose(inFile);
    fclose(out);
    fclose(err);
    Result r{code, std::string(outBuf, outLen), std::string(errBuf, errLen)};
    free(outBuf);
    free(errBuf);
    return r;
  }
};

TEST_F(IndexCommandsTest, LoadKeysAndCheck) {
  const std::string dat = Host("NEV.DAT"), idx = Host("NEV.IDX");
  // Keys from position 1, 6 characters; the third line's key repeats the
  // first one's and is refused, its record deleted again.
  Result r = Run({"load", dat, "30", idx, "6", "1", "6"},
                 "kovács béla\nnagy éva\nKOVÁCS Anna\r\nálmos\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "3 records added, 1 keys refused\n");
  r = Run({"keys", idx, "6"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1\tKOVÁCS\n2\tNAGY É\n3\tÁLMOS \n");
  EXPECT_EQ(Slot("NEV.DAT", 30, 3).size(), 30u);  // the refused record's slot was reused
  r = Run({"check", idx, "6", "--data", dat, "30"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "ok: 3 keys, 1 levels, 1 pages, 0 free pages\n");

  // A second load adds to the same files; with duplicates allowed the
  // repeated key is taken.
  const std::string dup = Host("DUP.IDX");
  r = Run({"load", Host("D.DAT"), "20", dup, "3", "--dup", "2", "3"},
          "xabc1\nyabc2\nzabd3\n");
  EXPECT_EQ(r.out, "3 records added, 0 keys refused\n");
  r = Run({"keys", dup, "3", "--dup"});
  EXPECT_EQ(r.out, "1\tABC\n2\tABC\n3\tABD\n");
}

TEST_F(IndexCommandsTest, CheckReportsFaults) {
  const std::string dat = Host("H.DAT"), idx = Host("H.IDX");
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += NumKey(i, 3) + "\n";
  ASSERT_EQ(Run({"load", dat, "20", idx, "4", "1", "4"}, lines).code, 0);
  // A deleted record still named by a key.
  DataFile d;
  OpenDataFile(d, "T:\\DATA\\H.DAT", 20);
  ASSERT_TRUE(OpOk);
  DeleteRecord(d, 5);
  CloseDataFile(d);
  Result r = Run({"check", idx, "4", "--data", dat, "20"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "reference 5 of a key names a deleted record\n");
  // The tree alone is still sound.
  EXPECT_EQ(Run({"check", idx, "4"}).code, 0);
  // Page 1's item count made 3: too few items, and the keys of the lost
  // items no longer separate the pages.
  Bytes file = ReadHost("H.IDX");
  file[static_cast<size_t>(IndexRecLen(4))] = 3;
  WriteHost("H.IDX", file);
  r = Run({"check", idx, "4"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("page 1: holds only 3 items"), std::string::npos) << r.out;
  // A size that is no whole number of pages.
  file.push_back(0);
  WriteHost("H.IDX", file);
  r = Run({"check", idx, "4"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("not a whole number of slots"), std::string::npos);
}

TEST_F(IndexCommandsTest, UsageAndMissingFiles) {
  EXPECT_EQ(Run({"keys", Host("NINCS.IDX"), "4"}).code, 1);
  EXPECT_EQ(Run({"keys", Host("NINCS.IDX"), "0"}).code, 1);
  EXPECT_EQ(Run({"check", Host("NINCS.IDX")}).code, 1);
  EXPECT_EQ(Run({"load", "A", "20", "B", "4", "18", "4"}).code, 1);  // key beyond the record
  EXPECT_EQ(Run({"nothing"}).code, -1);
}

}  // namespace
}  // namespace engine::testing
