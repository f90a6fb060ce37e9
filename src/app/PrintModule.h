#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace pw::platform {
class IMessageBoxBackend;
class TIniFile;
} // namespace pw::platform

namespace pw::print {
class TPrintForm;
struct TPrintSource;
} // namespace pw::print

namespace pw::app {

// The print dialog and Qt's printing library live in a module of their own, opened at the
// first print: a start that never prints never loads them.
inline constexpr char kPrintModuleFile[] = "panelwick-print.so";
inline constexpr char kPrintEntryName[] = "panelwick_make_print_dialog";
// As for the window's module: one of another build is refused (they share types' layout).
inline constexpr char kPrintBuildName[] = "panelwick_print_build";

// Makes the dialog, a child of parent. The module has its own copy of our platform code:
// its message boxes go to boxes, which hands them to the window's.
using PrintEntry = print::TPrintForm* (*)(platform::TIniFile& ini,
                                          std::function<print::TPrintSource()> source, QWidget* parent,
                                          std::unique_ptr<platform::IMessageBoxBackend> boxes);
using PrintBuild = const char* (*)();

} // namespace pw::app
