#pragma once

#include "app/PrintHooks.h"

#include <QString>
#include <functional>

class QWidget;

namespace pw::platform {
class TIniFile;
}

namespace pw::print {
class TPrintForm;
struct TPrintSource;
} // namespace pw::print

namespace pw::app {

class TForm1;

// The print dialog behind "&Print Current Strip...": made at the first print (its printer
// object asks the print system for its printers, which the first screen does not need),
// then shown modally for every print of the strip the main window shows.
class PrintDialogHooks : public PrintHooks {
public:
    // Makes the dialog; null, with the reason in error, when it cannot.
    using DialogMaker =
        std::function<print::TPrintForm*(platform::TIniFile& ini, std::function<print::TPrintSource()> source,
                                         QWidget* parent, QString* error)>;

    // By default the dialog comes from the print module, loaded at the first print.
    explicit PrintDialogHooks(TForm1& form, DialogMaker make = FromPrintModule());
    ~PrintDialogHooks() override;

    void PrintCurrentStrip() override;
    // The dialog, made on first use; null when it could not be made (the reason was shown).
    print::TPrintForm* Dialog();

    static DialogMaker FromPrintModule();

private:
    TForm1& form_;
    DialogMaker make_;
    print::TPrintForm* dialog_ = nullptr; // a child of the main window, once made
};

} // namespace pw::app
