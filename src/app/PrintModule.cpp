#include "app/PrintModule.h"

#include "app/BuildVersion.h"
#include "platform/MessageBoxService.h"
#include "print/TPrintForm.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) pw::print::TPrintForm*
panelwick_make_print_dialog(pw::platform::TIniFile& ini, std::function<pw::print::TPrintSource()> source,
                            QWidget* parent, std::unique_ptr<pw::platform::IMessageBoxBackend> boxes)
{
    pw::platform::MessageBoxService::Install(std::move(boxes));
    return new pw::print::TPrintForm(ini, std::move(source), parent);
}

extern "C" __attribute__((visibility("default"))) const char* panelwick_print_build()
{
    return pw::app::kBuildVersion;
}

static_assert(std::is_same_v<decltype(&panelwick_make_print_dialog), pw::app::PrintEntry>);
static_assert(std::is_same_v<decltype(&panelwick_print_build), pw::app::PrintBuild>);
