#pragma once

#include "app/PrintHooks.h"

namespace pw::print {
class TPrintForm;
}

namespace pw::app {

class TForm1;

// The print dialog behind "&Print Current Strip...": made at the first print (its printer
// object asks the print system for its printers, which the first screen does not need),
// then shown modally for every print of the strip the main window shows.
class PrintDialogHooks : public PrintHooks {
public:
    explicit PrintDialogHooks(TForm1& form);
    ~PrintDialogHooks() override;

    void PrintCurrentStrip() override;
    print::TPrintForm& Dialog();

private:
    TForm1& form_;
    print::TPrintForm* dialog_ = nullptr; // a child of the main window, once made
};

} // namespace pw::app
