// Viewer host service, clipboard part: the text the viewer's console copied.
#include <windows.h>

#include <cstring>

#include "platform/viewer_host.h"

namespace platform {

ClipboardRead ReadClipboardText(std::string* text) {
    text->clear();
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(nullptr))
        return ClipboardRead::Unavailable;
    const HANDLE data = GetClipboardData(CF_TEXT);
    if (data == nullptr) {
        CloseClipboard();
        return ClipboardRead::NoHandle;
    }
    const auto* locked = static_cast<const char*>(GlobalLock(data));
    if (locked == nullptr) {
        CloseClipboard();
        return ClipboardRead::NoHandle;
    }
    // The text ends at its terminator, but never beyond the memory block, even
    // when a careless owner left the terminator out.
    const SIZE_T blockBytes = GlobalSize(data);
    const void* terminator = std::memchr(locked, '\0', blockBytes);
    const std::size_t length =
        terminator != nullptr
            ? static_cast<std::size_t>(static_cast<const char*>(terminator) - locked)
            : static_cast<std::size_t>(blockBytes);
    text->assign(locked, length);
    GlobalUnlock(data);
    CloseClipboard();
    return ClipboardRead::Text;
}

}  // namespace platform
