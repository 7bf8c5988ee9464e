#pragma once
// Bayer geometry of raw frames.
//
// Raw samples are addressed in memory order: x is the sample column, y the row
// number in memory (row 0 first, which is the bottom row of the picture). The
// colour of sample (x, y) follows from the Bayer mode 0..3 and two flags: the
// row flag starts set for modes 1 and 3 and toggles per row, the column flag
// starts set for modes 2 and 3 and toggles per sample. With both flags equal
// the sample is green; row flag clear and column flag set is blue; row flag
// set and column flag clear is red:
//
//   mode   even rows            odd rows
//    0     G at even x, B odd   R at even x, G odd
//    1     R at even x, G odd   G at even x, B odd
//    2     B at even x, G odd   G at even x, R odd
//    3     G at even x, R odd   B at even x, G odd
//
// Mode 1 is mode 0 shifted by one row, mode 2 by one column, mode 3 by both.
// Only the low two bits of a mode value count.
#include <cstdint>

namespace vantix::bayer {

inline constexpr int32_t kModeCount = 4;

// Starting flags of a mode (the flags of sample (0, 0)).
constexpr bool RowFlagStart(int32_t mode) { return (mode & 1) != 0; }
constexpr bool ColumnFlagStart(int32_t mode) { return (mode & 2) != 0; }

constexpr bool RowFlag(int32_t mode, int32_t y) { return RowFlagStart(mode) != ((y & 1) != 0); }
constexpr bool ColumnFlag(int32_t mode, int32_t x) { return ColumnFlagStart(mode) != ((x & 1) != 0); }

constexpr bool IsGreen(int32_t mode, int32_t x, int32_t y) { return RowFlag(mode, y) == ColumnFlag(mode, x); }
constexpr bool IsRed(int32_t mode, int32_t x, int32_t y) { return RowFlag(mode, y) && !ColumnFlag(mode, x); }
constexpr bool IsBlue(int32_t mode, int32_t x, int32_t y) { return !RowFlag(mode, y) && ColumnFlag(mode, x); }

// The mode a frame has after its rows are put in reverse order (1 <-> 0,
// 3 <-> 2) or each row is reversed (2 <-> 0, 3 <-> 1). Reversing a run of
// odd length keeps every sample on a row or column of the same parity, so
// only reversing an even number of rows or columns changes the mode.
constexpr int32_t FlippedRows(int32_t mode) { return (mode & 3) ^ 1; }
constexpr int32_t FlippedColumns(int32_t mode) { return (mode & 3) ^ 2; }

}  // namespace vantix::bayer
