#pragma once

namespace pw::print {

// Units of the preview's lengths, with how many of them make an inch.
enum class TUnits { mmPixel, mmLoMetric, mmHiMetric, mmLoEnglish, mmHiEnglish, mmTWIPS };

// a × b / c with a 64-bit intermediate, rounded half away from zero; −1 when c is 0 or
// the result does not fit 32 bits.
int MulDiv(int a, int b, int c);

// Units per inch; 0 for mmPixel, whose inch depends on the resolution.
int UnitsPerInch(TUnits units);

// value in `from` → pixels at `resolution` → `to`. Both steps round to whole numbers, so
// a conversion and its inverse need not give the value back (70 LoMetric → 688 HiMetric).
int ConvertUnits(int value, int resolution, TUnits from, TUnits to);

} // namespace pw::print
