#include "frame/codes.h"

namespace kz {

namespace {

// clang-format off
const CodeRow kRows[] = {
  {1, 1, 'N', {" Function Successful."}},
  {101, 101, 'A', {"Allocation amount in KZINIT must be >= 0"}},
  {102, 102, 'A', {"Reserve amount in KZINIT must be >=0"}},
  {103, 103, 'A', {"Language indicator must be 0 for C and 1 for FORTRAN"}},
  {104, 104, 'A', {"Requested Memory Unavailable."}},
  {110, 110, 'N', {" called out of sequence."}},
  {120, 120, 'N', {" called with incorrect command line parameters."}},
  {122, 122, 'N', {" - BKZ.DLL not loaded, PATH, memory or corruption problem."}},
  {124, 124, 'N', {" - BKZ.DLL initialization problem, check for correct version."}},
  {126, 126, 'N', {" KZ... routine called after KZDONE, or before successful KZINIT."}},
  {128, 128, 'N', {" Restart Windows, you are having programming problems."}},
  {130, 130, 'N', {" Model area defined by 'rc' argument in use. Correct or Call KZDONE with 'rc'"}},
  {204, 204, 'N', {" command line parameter value must be NO or YES."}},
  {205, 205, 'N', {" misspelled command line parameter."}},
  {207, 207, 'N', {" unreasonable command line parameter value."}},
  {208, 208, 'N', {" PAGESIZE must be greater the TMARGIN+BMARGIN+20."}},
  {209, 209, 'N', {" LINESIZE is less than LMARGIN+40."}},
  {210, 210, 'N', {" premature end of command line parameter."}},
  {211, 211, 'N', {" problems processing OUTPUT parameter."}},
  {214, 214, 'N', {" FIELDSIZE must be greater DECIMALS+1."}},
  {300, 300, 'N', {" found column number out of range."}},
  {301, 301, 'N', {" found too many rows. Increase 'maxrow' value.", "Change maxrow value."}},
  {302, 302, 'N', {" found too many columns. Increase 'maxcol' value.", "Change maxcol value."}},
  {303, 303, 'N', {" could not Free/Return memory to operating system."}},
  {304, 304, 'N', {" found a column with lower bound > upper bound."}},
  {305, 305, 'N', {" found a row with lower bound > upper bound."}},
  {306, 306, 'N', {" found problem too large for available memory.",
                   "Increase memory available to KZ before invoking KZINIT",
                   "and/or increase 'use' argument in KZINIT call."}},
  {307, 307, 'N', {" found TOO many nonzeros. Increase 'maxnonzeros' value."}},
  {308, 308, 'N', {" row number out of range."}},
  {309, 309, 'N', {" duplicate column and/or row name."}},
  {310, 310, 'N', {" found arrays intersecting."}},
  {312, 312, 'N', {" found bad COLPTR values."}},
  {314, 314, 'N', {" found unreasonable ROWNOS values."}},
  {316, 316, 'N', {" found duplicate ROWNOS values."}},
  {318, 318, 'N', {" found unreasonable A array values."}},
  {320, 320, 'N', {" found unreasonable STATUS values."}},
  {322, 322, 'N', {" unreasonable PRIORITY value or non-integer column."}},
  {324, 324, 'N', {" unreasonable INCREMENT value or non-integer column."}},
  {326, 326, 'N', {" semi-continuous column missing lower bound."}},
  {328, 328, 'N', {" column cannot be both semi-continuous type I & II."}},
  {330, 330, 'N', {" unrecognized line in MPS file."}},
  {400, 400, 'N', {" found missing/invalid MPS filename."}},
  {402, 402, 'N', {" found incomplete MPS file."}},
  {404, 404, 'N', {" found row relationship error."}},
  {406, 406, 'N', {" was expecting a number."}},
  {408, 408, 'N', {" found bound specification error."}},
  {410, 410, 'N', {" found a split column, make sure all column entries are grouped together."}},
  {412, 412, 'N', {" found a duplicate row entry in a column, or embedded blank in name."}},
  {420, 420, 'N', {" Column has a power sequence with a negative lower bound."}},
  {600, 600, 'N', {" found missing/invalid dbf filename."}},
  {602, 602, 'N', {" error reading or not a dbf file."}},
  {604, 604, 'N', {" special row and special column??"}},
  {606, 606, 'N', {" row 'increment' invalid."}},
  {608, 608, 'N', {" row 'priority' invalid."}},
  {610, 610, 'N', {" Constraint field name missing from table."}},
  {612, 612, 'N', {" Variable field name missing from table."}},
  {614, 614, 'N', {" Coefficient field name missing from table."}},
  {616, 616, 'N', {" No data loaded."}},
  {700, 700, 'N', {" No previously loaded data to modify."}},
  {702, 702, 'N', {" Row name size must match previous data."}},
  {704, 704, 'N', {" Column name size must match previous data."}},
  {706, 706, 'N', {" Name length does not match either row/column size."}},
  {900, 900, 'N', {" found an unknow error."}},
  {901, 901, 'V', {" Argument ", " unreasonable value or address."}},
  {930, 930, 'N', {" Increase 'Set MaxNodes' value."}},
  {999, 999, 'N', {" Your code has clobbered KZ's interal memory structure."}},
  {20001, 20001, 'N', {" Ranging a free/null row."}},
  {20030, 20030, 'N', {" Row name referenced in COLUMNS section is undefined."}},
  {20040, 20040, 'N', {" Column has no coefficients, fixed at zero."}},
  {20045, 20045, 'N', {" Column name referenced in BOUNDS section is undefined."}},
  {20050, 20050, 'N', {" Unable to save advance basis to disk."}},
  {20060, 20060, 'N', {" Free column appears only in free/null row."}},
  {20080, 20080, 'N', {" Duplicate row names in ROWS sections."}},
  {20090, 20090, 'N', {" Unrecognized line in MPS file."}},
};
// clang-format on

}  // namespace

int32_t reduceCode(int32_t code) {
  if ((code >= 2 && code <= 10) || code == 115) return 1;
  if (code >= 110 && code <= 118) return 110;
  if (code >= 901 && code <= 920) return 901;
  return code;
}

const CodeRow* findCodeRow(int32_t code) {
  for (const CodeRow& r : kRows)
    if (code >= r.lo && code <= r.hi) return &r;
  return nullptr;
}

const CodeRow* codeRows(int* count) {
  if (count) *count = static_cast<int>(sizeof kRows / sizeof kRows[0]);
  return kRows;
}

}  // namespace kz
