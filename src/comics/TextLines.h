#pragma once

#include <QByteArray>
#include <string_view>
#include <vector>

namespace pw::comics {

// Splits text into lines ended by CR LF, LF or a lone CR. A last line without an ending
// counts; a final ending adds no empty line. The views point into `bytes`.
std::vector<std::string_view> SplitLines(const QByteArray& bytes);

} // namespace pw::comics
