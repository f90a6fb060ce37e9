#pragma once

#include <QString>
#include <memory>

namespace pw::platform {

enum class BoxKind { Information, Warning, Error };

// Where message boxes really go: modal dialogs in the program, standard error in
// batch mode, a recorder in tests.
class IMessageBoxBackend {
public:
    virtual ~IMessageBoxBackend() = default;
    virtual void Show(BoxKind kind, const QString& caption, const QString& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool Ask(const QString& caption, const QString& text) = 0;
};

// The one way the program shows a message box. Texts are shown as plain text, their
// control characters escaped. A box whose text is already open is not shown again, and
// boxes raised inside boxes stop at a few levels: a flood of faults cannot stack boxes
// without end.
class MessageBoxService {
public:
    static void Information(const QString& text);
    static void Warning(const QString& text);
    static void Error(const QString& text);
    static bool Question(const QString& text);

    // Replaces the backend; returns the previous one so that callers can restore it.
    static std::unique_ptr<IMessageBoxBackend> Install(std::unique_ptr<IMessageBoxBackend> backend);
    static void SetCaption(const QString& caption);

private:
    static IMessageBoxBackend& Backend();
    static void Show(BoxKind kind, const QString& text);
};

// Writes every box to standard error and answers questions with No.
class StderrMessageBoxes : public IMessageBoxBackend {
public:
    void Show(BoxKind kind, const QString& caption, const QString& text) override;
    bool Ask(const QString& caption, const QString& text) override;
};

} // namespace pw::platform
