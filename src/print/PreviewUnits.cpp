#include "print/PreviewUnits.h"

#include <cstdint>
#include <limits>

namespace pw::print {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t quotient = product / c;
    const std::int64_t remainder = product % c;
    // Half away from zero: compare twice the remainder with the divisor, sizes only.
    const std::int64_t absRemainder = remainder < 0 ? -remainder : remainder;
    const std::int64_t absDivisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
    if (2 * absRemainder >= absDivisor)
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(quotient);
}

int UnitsPerInch(TUnits units)
{
    switch (units) {
    case TUnits::mmPixel:
        return 0;
    case TUnits::mmLoMetric:
        return 254;
    case TUnits::mmHiMetric:
        return 2540;
    case TUnits::mmLoEnglish:
        return 10;
    case TUnits::mmHiEnglish:
        return 100;
    case TUnits::mmTWIPS:
        return 1440;
    }
    return 0;
}

int ConvertUnits(int value, int resolution, TUnits from, TUnits to)
{
    if (from == to)
        return value;
    int pixels = value;
    if (from != TUnits::mmPixel)
        pixels = MulDiv(value, resolution, UnitsPerInch(from));
    if (to == TUnits::mmPixel)
        return pixels;
    return MulDiv(pixels, UnitsPerInch(to), resolution);
}

} // namespace pw::print
