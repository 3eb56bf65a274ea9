// KZMSG texts as a host sees them through its message callback.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "kz.h"

namespace {

class MsgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 200, 0, -3, 0), 0);
    cap_ = std::make_unique<Capture>(&b_);
    cap_->clear();
  }
  void TearDown() override {
    KZDONE(&b_);
    cap_.reset();
  }
  std::vector<std::string> msgFor(int32_t rc) {
    cap_->clear();
    b_.rc = rc;
    EXPECT_EQ(KZMSG(&b_), 0);
    EXPECT_EQ(b_.rc, rc) << "KZMSG must not change rc";
    return cap_->texts();
  }
  KZOSL b_{};
  std::unique_ptr<Capture> cap_;
};

struct MsgCase {
  int32_t rc;
  std::vector<std::string> lines;
};

TEST_F(MsgTest, CodeTexts) {
  const std::vector<MsgCase> cases = {
      {2, {"KZRT2 Function Successful."}},
      {8, {"KZRT2 Function Successful."}},
      {115, {"KZRT2 Function Successful."}},
      {110, {"KZRT2 called out of sequence."}},
      {113, {"KZRT2 called out of sequence."}},
      {118, {"KZRT2 called out of sequence."}},
      {101, {"Allocation amount in KZINIT must be >= 0"}},
      {104, {"Requested Memory Unavailable."}},
      {130, {"KZRT2 Model area defined by 'rc' argument in use. Correct or Call KZDONE with 'rc'"}},
      {205, {"KZRT2 misspelled command line parameter."}},
      {301, {"KZRT2 found too many rows. Increase 'maxrow' value.", "Change maxrow value."}},
      {306,
       {"KZRT2 found problem too large for available memory.", "Increase memory available to KZ before invoking KZINIT",
        "and/or increase 'use' argument in KZINIT call."}},
      {412, {"KZRT2 found a duplicate row entry in a column, or embedded blank in name."}},
      {900, {"KZRT2 found an unknow error."}},
      {901, {"KZRT2 Argument 1 unreasonable value or address."}},
      {903, {"KZRT2 Argument 3 unreasonable value or address."}},
      {920, {"KZRT2 Argument 20 unreasonable value or address."}},
      {999, {"KZRT2 Your code has clobbered KZ's interal memory structure."}},
      {20090, {"KZRT2 Unrecognized line in MPS file."}},
      {0, {"KZMSG passed unknowned return code.", "Rc 0, KZ's internal Rc 2"}},
      {-5, {"KZMSG passed unknowned return code.", "Rc -5, KZ's internal Rc 2"}},
      {403, {"KZMSG passed unknowned return code.", "Rc 403, KZ's internal Rc 2"}},
      {921, {"KZMSG passed unknowned return code.", "Rc 921, KZ's internal Rc 2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(msgFor(c.rc), c.lines) << "rc " << c.rc;
}

TEST_F(MsgTest, LineClassesSuccessVersusError) {
  msgFor(306);
  ASSERT_EQ(cap_->lines.size(), 3u);
  for (const auto& l : cap_->lines) EXPECT_EQ(l.lineClass, 6000);
  msgFor(4);
  ASSERT_EQ(cap_->lines.size(), 1u);
  EXPECT_EQ(cap_->lines[0].lineClass, 3000);
}

TEST_F(MsgTest, ReductionUsesTheLow16BitsOfRc) {
  // 65536 + 205 reduces to 205 by its low 16 bits.
  EXPECT_EQ(msgFor(65536 + 205), std::vector<std::string>{"KZRT2 misspelled command line parameter."});
}

TEST(MsgInput, PostsKeyAndZeroBecomesCtrlZ) {
  KZOSL b{};
  b.size = sizeof b;
  ASSERT_EQ(KZINIT(&b, 100, 0, -3, 0), 0);
  int32_t calls = b.calls;
  EXPECT_EQ(KZMSGINPUT(&b, 0), 0);
  EXPECT_EQ(b.calls, calls) << "KZMSGINPUT is not counted";
  EXPECT_EQ(KZMSGINPUT(&b, 0x10015), 0);
  KZDONE(&b);
}

}  // namespace
