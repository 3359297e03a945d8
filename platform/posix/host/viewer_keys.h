// Turns Windows key events into what they do in a console: bytes typed into
// the program's terminal, or the console's own "select all, copy" through its
// system menu (Alt+Space, E, S, then Enter).
#pragma once

#include <string>
#include <vector>

#include "platform/viewer_host.h"

namespace platform::posix {

/// One effect of the key events, in order.
struct ConsoleInput {
    enum class Kind { Type, CopyScreen };
    Kind kind = Kind::Type;
    std::string bytes;  ///< for Type: the bytes the keys type
};

/// Key state of one console window (modifiers held, system menu open).
class ConsoleKeyTranslator {
public:
    /// Feeds one key event; appends its effect (if any) to *inputs, merging
    /// consecutive typed bytes into one entry.
    void Feed(const KeyEvent& event, std::vector<ConsoleInput>* inputs);

private:
    enum class Mode { Typing, SystemMenu, EditMenu, Selecting };

    void Type(const std::string& bytes, std::vector<ConsoleInput>* inputs);
    void TypeKey(std::uint16_t key, std::vector<ConsoleInput>* inputs);
    void MenuKey(std::uint16_t key, std::vector<ConsoleInput>* inputs);

    Mode mode_ = Mode::Typing;
    bool shift_ = false;
    bool control_ = false;
    bool alt_ = false;
};

}  // namespace platform::posix
