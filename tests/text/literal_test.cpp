#include "text/literal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace text {
namespace {

using namespace text::literals;

// Checked by the compiler: the bytes are there in constant expressions.
static_assert("Ő"_cpv == "\x8A");
static_assert(Cp852<"ű">() == "\xFB");
static_assert("Igen"_cpv.size() == 4);

TEST(Cp852Literal, HungarianLettersBecomeCodePage852Bytes) {
  EXPECT_EQ("Árvíztűrő tükörfúrógép"_cp,
            "\xB5rv\xA1zt\xFBr\x8B t\x81k\x94rf\xA3r\xA2g\x82p");
  EXPECT_EQ("ÁÉÍÓÖŐÚÜŰ"_cp, "\xB5\x90\xD6\xE0\x99\x8A\xE9\x9A\xEB");
  EXPECT_EQ("áéíóöőúüű"_cp, "\xA0\x82\xA1\xA2\x94\x8B\xA3\x81\xFB");
}

TEST(Cp852Literal, BoxCharactersGlyphsAndZeroBytes) {
  EXPECT_EQ("╔═╗│░"_cp, "\xC9\xCD\xBB\xB3\xB0");
  // Glyphs of the control bytes stand for those bytes.
  EXPECT_EQ("►◄▲▼⌂"_cp, "\x10\x11\x1E\x1F\x7F");
  // The section sign is a letter of the code page (0xF5), not the glyph of 21.
  EXPECT_EQ("§"_cp, "\xF5");
  const std::string zero = "Cím\0Alsó"_cp;
  ASSERT_EQ(zero.size(), 8u);
  EXPECT_EQ(zero, std::string("C\xA1m\0Als\xA2", 8));
  EXPECT_EQ(""_cp, "");
}

// An unmappable character must stop the build. The test compiles a small
// file with the compiler this test was built with; a mappable twin must
// compile, so a failure cannot come from a broken command line.
#if defined(__clang__)
constexpr const char* kCompiler = "clang++";
#else
constexpr const char* kCompiler = "g++";
#endif

int CompileSnippet(const std::string& literal) {
  namespace fs = std::filesystem;
  const fs::path src = fs::path(__FILE__).parent_path().parent_path().parent_path() / "src";
  const fs::path dir = fs::temp_directory_path() /
                       ("cp_literal_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "snippet.cpp";
  {
    std::ofstream out(file);
    out << "#include \"text/literal.h\"\n"
           "using namespace text::literals;\n"
           "std::string f() { return "
        << literal << "_cp; }\n";
  }
  const std::string cmd = std::string(kCompiler) + " -std=c++20 -fsyntax-only -I" +
                          src.string() + " " + file.string() + " >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  fs::remove_all(dir);
  return rc;
}

TEST(Cp852Literal, UnmappableCharacterFailsTheBuild) {
  if (std::system(("command -v " + std::string(kCompiler) + " >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << kCompiler << " is not on PATH";
  ASSERT_EQ(CompileSnippet("\"Árvíztűrő\""), 0) << "the snippet itself does not compile";
  EXPECT_NE(CompileSnippet("\"10 €\""), 0);         // euro sign: not in code page 852
  EXPECT_NE(CompileSnippet("\"ß∑\""), 0);           // n-ary sum
  EXPECT_NE(CompileSnippet("\"a\\xFFb\""), 0);      // not UTF-8
  EXPECT_NE(CompileSnippet("\"a\\xC3\""), 0);       // truncated UTF-8
}

}  // namespace
}  // namespace text
