// Reading the viewer's copied console text from the clipboard.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/viewer_host.h"
#include "tests/platform/win32/check.h"

namespace {

// Puts `text` on the clipboard in the narrow text format; true on success.
bool PutClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    bool placed = false;
    if (block != nullptr) {
        std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        placed = SetClipboardData(CF_TEXT, block) != nullptr;
        if (!placed) GlobalFree(block);
    }
    CloseClipboard();
    return placed;
}

}  // namespace

CHECK_CASE(ClipboardTextComesBackByteForByteAndAnEmptyClipboardIsUnavailable) {
    const std::string copied = "Drive 2\r\nBank 0  1234\r\n";
    EXPECT_TRUE(PutClipboardText(copied));
    std::string text = "stale";
    EXPECT_TRUE(platform::ReadClipboardText(&text) == platform::ClipboardRead::Text);
    EXPECT_EQ(copied, text);

    EXPECT_TRUE(PutClipboardText(""));
    EXPECT_TRUE(platform::ReadClipboardText(&text) == platform::ClipboardRead::Text);
    EXPECT_EQ(std::string(), text);

    EXPECT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());
    text = "stale";
    EXPECT_TRUE(platform::ReadClipboardText(&text) == platform::ClipboardRead::Unavailable);
    EXPECT_TRUE(text.empty());
}
