#include "app/PrintDialogHooks.h"

#include "app/BuildVersion.h"
#include "app/PrintModule.h"
#include "app/TForm1.h"
#include "comics/TComicInfo.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramModule.h"
#include "print/TPrintForm.h"

#include <cstring>

namespace pw::app {

namespace {

// The module's boxes, shown through the window's own service (its caption, its guard
// against stacked boxes).
class WindowBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind kind, const QString&, const QString& text) override
    {
        switch (kind) {
        case platform::BoxKind::Information:
            platform::MessageBoxService::Information(text);
            break;
        case platform::BoxKind::Warning:
            platform::MessageBoxService::Warning(text);
            break;
        case platform::BoxKind::Error:
            platform::MessageBoxService::Error(text);
            break;
        }
    }
    bool Ask(const QString&, const QString& text) override
    {
        return platform::MessageBoxService::Question(text);
    }
};

} // namespace

PrintDialogHooks::PrintDialogHooks(TForm1& form, DialogMaker make) : form_(form), make_(std::move(make)) {}

PrintDialogHooks::DialogMaker PrintDialogHooks::FromPrintModule()
{
    return [](platform::TIniFile& ini, std::function<print::TPrintSource()> source, QWidget* parent,
              QString* error) -> print::TPrintForm* {
        const auto module = platform::ProgramModule::Open(QString::fromLatin1(kPrintModuleFile), error);
        const auto build =
            module ? reinterpret_cast<PrintBuild>(module->Function(kPrintBuildName, error)) : nullptr;
        if (build && std::strcmp(build(), kBuildVersion) != 0) {
            *error = QStringLiteral("cannot load %1: it is of build %2, this program of build %3")
                         .arg(module->Path(), QString::fromUtf8(build()), QString::fromUtf8(kBuildVersion));
            return nullptr;
        }
        const auto entry =
            build ? reinterpret_cast<PrintEntry>(module->Function(kPrintEntryName, error)) : nullptr;
        return entry ? entry(ini, std::move(source), parent, std::make_unique<WindowBoxes>()) : nullptr;
    };
}

print::TPrintForm* PrintDialogHooks::Dialog()
{
    if (dialog_)
        return dialog_;
    TForm1& form = form_;
    QString error;
    dialog_ = make_(
        form.Ini(),
        [&form] {
            print::TPrintSource source;
            source.Picture = form.ShownPicture();
            if (const comics::TComicInfo* comic = form.CurrentComic()) {
                source.ComicName = comic->Name;
                if (comic->CurrentStrip) {
                    source.DateText = comic->DateText();
                    source.Date = comic->CurrentStrip->Date;
                    source.Ordinal = comic->CurrentStrip->Ordinal;
                }
            }
            return source;
        },
        &form, &error);
    if (!dialog_)
        platform::MessageBoxService::Error(QStringLiteral("Printing is not available: %1").arg(error));
    return dialog_;
}

PrintDialogHooks::~PrintDialogHooks() = default;

void PrintDialogHooks::PrintCurrentStrip()
{
    // Without a picture there is nothing to lay out on the page: no dialog, no print job.
    if (form_.ShownPicture().isNull()) {
        platform::MessageBoxService::Information(QStringLiteral("There is no strip to print."));
        return;
    }
    if (print::TPrintForm* dialog = Dialog())
        dialog->exec();
}

} // namespace pw::app
