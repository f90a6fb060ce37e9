#pragma once

#include "platform/MessageTarget.h"

#include <functional>

namespace pw::net {

// A socket's hidden window: hands every message to its owner while it has one. The owner
// clears it before the window goes, so late messages find nobody.
class WSocketWindow : public platform::MessageTarget {
public:
    using OwnerProc = std::function<void(unsigned, platform::WParam, platform::LParam)>;

    explicit WSocketWindow(OwnerProc proc) : proc_(std::move(proc)) {}
    void ClearOwner() { owner_ = false; }

protected:
    void Dispatch(unsigned msg, platform::WParam wParam, platform::LParam lParam) override
    {
        if (owner_) {
            // A copy: the owner may destroy itself (and so clear this window) while handling.
            const OwnerProc proc = proc_;
            proc(msg, wParam, lParam);
        }
    }

private:
    OwnerProc proc_;
    bool owner_ = true;
};

} // namespace pw::net
