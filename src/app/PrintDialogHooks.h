#pragma once

#include "app/PrintHooks.h"

namespace pw::print {
class TPrintForm;
}

namespace pw::app {

class TForm1;

// The print dialog behind "&Print Current Strip...": made once at start, shown modally
// for every print of the strip the main window shows.
class PrintDialogHooks : public PrintHooks {
public:
    explicit PrintDialogHooks(TForm1& form);
    ~PrintDialogHooks() override;

    void PrintCurrentStrip() override;
    print::TPrintForm& Dialog() const { return *dialog_; }

private:
    TForm1& form_;
    print::TPrintForm* dialog_; // a child of the main window
};

} // namespace pw::app
