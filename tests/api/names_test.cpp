// KZNAME and KZNDXNUM as a host calls them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kz.h"

namespace {

constexpr double kInf = 1e23;

// Two columns, objective and two constraint rows; colptr in the caller's base.
struct Model {
  std::vector<double> a{1, 1, 2, 1, 0, 0, 0};
  std::vector<int32_t> rownos{0, 1, 1, 2, 0, 0, 0};
  std::vector<int32_t> colptr{0, 2, 4, 0, 0, 0};
  std::vector<double> lo{0, 0, 0, 1, -kInf};
  std::vector<double> up{10, 10, 0, kInf, 8};
  std::vector<int32_t> status{0, 0, 0, 0, 0};
  explicit Model(int base) {
    for (int k = 0; k < 3; ++k) colptr[k] += base;
  }
};

class Named : public ::testing::Test {
 protected:
  void open(int namestyle, void* names = nullptr) {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 20000, 0, -3, namestyle), 0);
    model_ = std::make_unique<Model>(namestyle == 1 ? 1 : 0);
    Model& m = *model_;
    ASSERT_EQ(KZLOAD(&b_, 3, 2, m.a.data(), m.rownos.data(), m.colptr.data(), m.lo.data(), m.up.data(),
                     m.status.data(), names),
              0)
        << b_.rc;
    opened_ = true;
  }
  void TearDown() override {
    if (opened_) KZDONE(&b_);
  }
  std::string name(int32_t c, int16_t* fv = nullptr) {
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    int16_t r = KZNAME(&b_, c, buf);
    if (fv) *fv = r;
    if (r != 0) return "<fail>";
    EXPECT_EQ(buf[8], '#') << "KZNAME writes exactly the name length";
    return std::string(buf, 8);
  }
  KZOSL b_{};
  bool opened_ = false;
  std::unique_ptr<Model> model_;
};

TEST_F(Named, GeneratedNamesForACCaller) {
  open(0);
  EXPECT_EQ(name(0), "x0      ");
  EXPECT_EQ(name(1), "x1      ");
  EXPECT_EQ(name(2), "obj     ");
  EXPECT_EQ(name(3), "c1      ");
  EXPECT_EQ(name(4), "c2      ");
  int16_t fv = 0;
  EXPECT_EQ(name(5, &fv), "<fail>");
  EXPECT_EQ(fv, 1);
  EXPECT_EQ(name(-2, &fv), "<fail>");
  EXPECT_EQ(b_.rc, 4);  // an item out of range leaves the code
}

TEST_F(Named, GeneratedNamesForAFortranCaller) {
  open(1);
  EXPECT_EQ(name(1), "x1      ");
  EXPECT_EQ(name(2), "x2      ");
  EXPECT_EQ(name(3), "obj     ");
  EXPECT_EQ(name(4), "c2      ");
  EXPECT_EQ(name(0, nullptr), "<fail>");
  int32_t index = 0;
  EXPECT_EQ(KZNDXNUM(&b_, &index, "c3", 0), 0);
  EXPECT_EQ(index, 5);
  EXPECT_EQ(KZNDXNUM(&b_, &index, "x1", 0), 0);
  EXPECT_EQ(index, 1);
}

TEST_F(Named, NullNameBufferGives903) {
  open(0);
  EXPECT_EQ(KZNAME(&b_, 0, nullptr), 1);
  EXPECT_EQ(b_.rc, 903);
}

TEST_F(Named, LookupByName) {
  std::string block = "PROFIT  LABOUR  OBJ     HOURS   STOCK   ";
  open(2, block.data());
  int32_t index = -5;
  EXPECT_EQ(KZNDXNUM(&b_, &index, "LABOUR  ", 8), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(KZNDXNUM(&b_, &index, "stock", 0), 0);  // len 0: both kinds, folded
  EXPECT_EQ(index, 4);
  // The item found last stands for c = -1.
  EXPECT_EQ(name(-1), "STOCK   ");
  EXPECT_EQ(KZNDXNUM(&b_, &index, "NOWHERE ", 8), 1);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(b_.rc, 4);
  // A length that is neither name length: 904.
  EXPECT_EQ(KZNDXNUM(&b_, &index, "HOURS", 5), 1);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(b_.rc, 904);
  EXPECT_EQ(KZNDXNUM(&b_, nullptr, "HOURS", 5), 1);
}

TEST_F(Named, NotLoadedModelHasNoNames) {
  std::memset(&b_, 0, sizeof b_);
  b_.size = sizeof b_;
  ASSERT_EQ(KZINIT(&b_, 2000, 0, -3, 0), 0);
  opened_ = true;
  char buf[16];
  EXPECT_EQ(KZNAME(&b_, 0, buf), 1);
  int32_t index = 0;
  EXPECT_EQ(KZNDXNUM(&b_, &index, "x0", 2), 1);
  EXPECT_EQ(index, -1);
}

}  // namespace
