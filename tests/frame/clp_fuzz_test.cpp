// Random option lines: keywords from the tables with random values, random
// bytes, quotes, parentheses, continuation marks and lines longer than the
// command buffer. Every call must come back (the sanitizer build catches
// reads past the buffer) with a function value of 0 or 1 and a return code
// the language uses.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "frame/area.h"
#include "frame/clp.h"
#include "frame/clp_table.h"
#include "include/kz.h"

namespace {

using kz::ModelArea;
using namespace kz::clp;

const std::set<int32_t> kCodes = {2, 104, 110, 204, 205, 207, 208, 209, 210, 211, 214};

class Fuzzer {
 public:
  explicit Fuzzer(uint32_t seed) : rng_(seed) {}

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool chance(int percent) { return pick(100) < percent; }

  std::string keyword(const Keyword** chosen) {
    int n = 0;
    const Keyword* t = nullptr;
    std::string head;
    switch (pick(4)) {
      case 0:
      case 1: t = mainTable(&n); break;
      case 2:
        t = setTable(&n);
        head = "Set ";
        break;
      default:
        t = toleranceTable(&n);
        head = "Set Tolerance ";
        break;
    }
    *chosen = &t[pick(n)];
    std::string name = (*chosen)->name;
    // The whole name, a prefix, or the name with more letters after it.
    int len = static_cast<int>(name.size());
    int cut = chance(85) ? len : 1 + pick(len);
    name = name.substr(0, static_cast<size_t>(cut));
    if (chance(15)) name += "XYZ";
    for (char& c : name)
      if (chance(50)) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head + name;
  }

  std::string number() {
    static const char* const kSome[] = {"0",    "1",   "-1",  "+",     "-",     "32767", "32768", "-32768",
                                        "2147483647", "2147483648", "1e23", "1e308", "1e309", "1D-3", "5%",
                                        "1.5", ".5",  "7.",  "1:30",  ":01",   "1:00:00", "99999999999999",
                                        "0.0000001", "1e-320", "-0", "20", "40", "4095", "4096"};
    if (chance(60)) return kSome[pick(static_cast<int>(sizeof kSome / sizeof kSome[0]))];
    return std::to_string(std::uniform_int_distribution<long long>(-5000000000LL, 5000000000LL)(rng_));
  }

  // Mostly a value of the keyword's own form, else anything.
  std::string valueFor(const Keyword& k) {
    if (chance(30)) return value();
    switch (k.form) {
      case Form::kYesNo: return chance(50) ? "Yes" : "n";
      case Form::kNumber:
      case Form::kTime: return number();
      case Form::kLetter: return std::string(1, k.letters[pick(static_cast<int>(std::strlen(k.letters)))]);
      case Form::kName:
      case Form::kChars: return "nm" + std::to_string(pick(100));
      default: return value();
    }
  }

  std::string value() {
    static const char* const kWords[] = {
        "Yes", "No", "Y", "N", "S", "X", "I", "B", "O", "M", "D", "A", "T", "H", "CON:", "LPT1:", "COM1:",
        "?", "*", "#A", "*AB", "*#Z", "1/2", "/N", "/7", "(0.5)", "(x y)", "H12(StopAfter 5)", "1601PAX",
        "1xX", "101", "??0*", "+A-B", "+AB", "1.0.1", "Y/N", "A(1 2", "C(1 2)", "'", "' '", "'x'", "`rest of line",
        "\"quoted name", "\"quoted\"", "\"\"", "+file", "+\"a b\"", "NO", "^", "A^", "(", ")", "%", ":", "::",
        ".name", ".", "+3", "KZ_FUZZ_ENV", "PATH", "opts.clp", "m.mps", "x.lts"};
    int r = pick(10);
    if (r < 4) return number();
    if (r < 8) return kWords[pick(static_cast<int>(sizeof kWords / sizeof kWords[0]))];
    return bytes(1 + pick(12));
  }

  std::string bytes(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      char c = static_cast<char>(1 + pick(255));
      s.push_back(c);
    }
    return s;
  }

  std::string line() {
    std::string s;
    int parts = 1 + pick(chance(5) ? 600 : 6);
    for (int i = 0; i < parts; ++i) {
      if (!s.empty()) s.push_back(' ');
      if (chance(5))
        s += bytes(1 + pick(20));
      else {
        const Keyword* k = nullptr;
        std::string kw = keyword(&k);
        s += kw + " " + valueFor(*k);
      }
      if (chance(10)) s += " " + value();
    }
    if (chance(10)) s += " +";
    if (chance(3)) s += std::string(static_cast<size_t>(4000 + pick(2000)), chance(50) ? 'A' : ' ');
    // The caller-block form of MEMORY names an address to write at, and file
    // names with a directory could reach outside the scratch directory.
    for (char& c : s)
      if (c == '@' || c == '/' || c == '\\') c = '_';
    return s;
  }

 private:
  std::mt19937 rng_;
};

class ClpFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kzfuzzXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    setenv("KZ_FUZZ_ENV", "Set Iterations 5 Solution", 1);
  }
  void TearDown() override {
    unsetenv("KZ_FUZZ_ENV");
    unsetenv("KZDevelopment");
    ASSERT_EQ(chdir(cwd_), 0);
    std::string cmd = "rm -rf '" + dir_ + "'";
    (void)!std::system(cmd.c_str());
  }
  std::string dir_;
  char cwd_[4096];
};

TEST_F(ClpFuzzTest, RandomLinesEndWithADefinedCode) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    Fuzzer fz(seed);
    if (seed % 2 == 0)
      setenv("KZDevelopment", "1", 1);
    else
      unsetenv("KZDevelopment");
    KZOSL b{};
    b.size = sizeof b;
    ASSERT_EQ(KZINIT(&b, 512, 0, seed % 3 == 0 ? -3 : -2, 0), 0);
    ModelArea& a = *kz::lookupArea(b.area);
    for (int i = 0; i < 1500; ++i) {
      std::string text = fz.line();
      int16_t fv;
      if (fz.chance(10)) {
        // The counted form, with a buffer that holds the whole count.
        char counted[300] = {};
        int n = static_cast<int>(text.size() < 250 ? text.size() : 250);
        counted[0] = static_cast<char>(2 + n);
        counted[1] = '~';
        std::memcpy(counted + 2, text.data(), static_cast<size_t>(n));
        fv = KZCLP(&b, counted);
      } else {
        fv = KZCLP(&b, text.c_str());
      }
      ASSERT_TRUE(fv == 0 || fv == 1) << text;
      ASSERT_TRUE(kCodes.count(b.rc)) << "rc " << b.rc << " after: " << text;
      if (fv == 1) {
        ASSERT_NE(b.rc, 2) << text;
      }
      if (a.window) a.window->setShown(false);
      a.trace = 0;

      // The same text as a raw buffer, with its model token.
      if (fz.chance(20)) {
        size_t n = text.size() < 4096 ? text.size() : 4096;
        std::memcpy(a.cmd, text.data(), n);
        a.cmd[n] = '\0';
        a.cmdLast = static_cast<int16_t>(static_cast<int>(n) - 1);
        kz::parseCommandBuffer(a);
        ASSERT_TRUE(a.fnValue == 0 || a.fnValue == 1);
        ASSERT_TRUE(kCodes.count(a.irc)) << a.irc;
        if (a.window) a.window->setShown(false);
        a.trace = 0;
      }
      if (fz.chance(10)) {
        char data[64] = {};
        int32_t code = fz.pick(31) - 15;
        int32_t t = KZGETCLP(&b, code, data);
        ASSERT_TRUE(t == 0 || t == 1 || t == 2 || t == 3 || t == 4 || t == 32767) << code;
      }
    }
    // The area is still usable and closes normally.
    EXPECT_EQ(KZCLP(&b, "Output CON:"), 0);
    EXPECT_EQ(KZCLP(&b, ""), 0);
    EXPECT_EQ(b.rc, 2);
    EXPECT_EQ(KZDONE(&b), 0);
  }
}

}  // namespace
