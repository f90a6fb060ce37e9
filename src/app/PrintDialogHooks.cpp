#include "app/PrintDialogHooks.h"

#include "app/TForm1.h"
#include "comics/TComicInfo.h"
#include "platform/MessageBoxService.h"
#include "print/TPrintForm.h"

namespace pw::app {

PrintDialogHooks::PrintDialogHooks(TForm1& form) : form_(form) {}

print::TPrintForm& PrintDialogHooks::Dialog()
{
    if (dialog_)
        return *dialog_;
    TForm1& form = form_;
    dialog_ = new print::TPrintForm(
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
        &form);
    return *dialog_;
}

PrintDialogHooks::~PrintDialogHooks() = default;

void PrintDialogHooks::PrintCurrentStrip()
{
    // Without a picture there is nothing to lay out on the page: no dialog, no print job.
    if (form_.ShownPicture().isNull()) {
        platform::MessageBoxService::Information(QStringLiteral("There is no strip to print."));
        return;
    }
    Dialog().exec();
}

} // namespace pw::app
