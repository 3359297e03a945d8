#include "platform/posix/host/viewer_keys.h"

namespace platform::posix {

namespace {

// Windows virtual key codes.
constexpr std::uint16_t kBack = 8;
constexpr std::uint16_t kTab = 9;
constexpr std::uint16_t kEnter = 13;
constexpr std::uint16_t kShift = 16;
constexpr std::uint16_t kControl = 17;
constexpr std::uint16_t kAlt = 18;
constexpr std::uint16_t kEscape = 27;
constexpr std::uint16_t kSpace = 32;

bool IsDigit(std::uint16_t key) { return key >= '0' && key <= '9'; }
bool IsLetter(std::uint16_t key) { return key >= 'A' && key <= 'Z'; }

}  // namespace

void ConsoleKeyTranslator::Feed(const KeyEvent& event, std::vector<ConsoleInput>* inputs) {
    switch (event.virtualKey) {
        case kShift:
            shift_ = !event.release;
            return;
        case kControl:
            control_ = !event.release;
            return;
        case kAlt:
            alt_ = !event.release;
            return;
        default:
            break;
    }
    if (event.release) return;  // terminals see key presses only
    if (mode_ == Mode::Typing) {
        TypeKey(event.virtualKey, inputs);
    } else {
        MenuKey(event.virtualKey, inputs);
    }
}

void ConsoleKeyTranslator::TypeKey(std::uint16_t key, std::vector<ConsoleInput>* inputs) {
    if (key == kSpace && alt_) {
        mode_ = Mode::SystemMenu;
        return;
    }
    std::string bytes;
    if (IsDigit(key)) {
        bytes = static_cast<char>(key);
    } else if (IsLetter(key)) {
        const char letter = static_cast<char>(shift_ ? key : key - 'A' + 'a');
        bytes = control_ ? std::string(1, static_cast<char>(key & 0x1F)) : std::string(1, letter);
    } else if (key == kEnter) {
        bytes = "\r";
    } else if (key == kSpace) {
        bytes = " ";
    } else if (key == kTab) {
        bytes = "\t";
    } else if (key == kBack) {
        bytes = "\x7f";
    } else if (key == kEscape) {
        bytes = "\x1b";
    } else {
        return;  // keys without a character are not passed on
    }
    if (alt_ && key != kEscape) bytes.insert(0, "\x1b");  // Alt sends the meta prefix
    Type(bytes, inputs);
}

void ConsoleKeyTranslator::MenuKey(std::uint16_t key, std::vector<ConsoleInput>* inputs) {
    // While the system menu or a selection is active the program sees no keys.
    if (mode_ == Mode::SystemMenu && key == 'E') {
        mode_ = Mode::EditMenu;
    } else if (mode_ == Mode::EditMenu && key == 'S') {
        mode_ = Mode::Selecting;
    } else if (mode_ == Mode::Selecting && key != kEnter && key != kEscape) {
        // the selection stays until Enter copies it or Escape drops it
    } else {
        if (mode_ == Mode::Selecting && key == kEnter)
            inputs->push_back({ConsoleInput::Kind::CopyScreen, {}});
        mode_ = Mode::Typing;
    }
}

void ConsoleKeyTranslator::Type(const std::string& bytes, std::vector<ConsoleInput>* inputs) {
    if (!inputs->empty() && inputs->back().kind == ConsoleInput::Kind::Type) {
        inputs->back().bytes += bytes;
    } else {
        inputs->push_back({ConsoleInput::Kind::Type, bytes});
    }
}

}  // namespace platform::posix
