#include <string>

#include "platform/console.h"
#include "viewer/gauge_lens.h"

namespace {

constexpr std::uint16_t kKeyEnter = 13;  // VK_RETURN
constexpr std::uint16_t kKeyAlt = 18;    // VK_MENU
constexpr std::uint16_t kKeySpace = 32;  // VK_SPACE

using KeyBatch = std::vector<platform::KeyEvent>;

void Press(KeyBatch* batch, std::uint16_t key) { batch->push_back({key, false}); }
void Release(KeyBatch* batch, std::uint16_t key) { batch->push_back({key, true}); }
void Tap(KeyBatch* batch, std::uint16_t key) {
    Press(batch, key);
    Release(batch, key);
}

}  // namespace

std::vector<KeyBatch> GaugeLensKeyBatches(platform::DriveNumber driveNumber) {
    std::vector<KeyBatch> batches(4);

    // Batch 1: the drive number (every digit, so drives 10 and up are typed
    // whole), then the two menu answers of the viewer.
    KeyBatch& answers = batches[0];
    for (const char digit : std::to_string(driveNumber))
        Tap(&answers, static_cast<std::uint16_t>(digit));
    Tap(&answers, kKeyEnter);
    Tap(&answers, '2');
    Tap(&answers, kKeyEnter);
    Tap(&answers, '3');
    Tap(&answers, kKeyEnter);

    // Batch 2: Alt+Space opens the console window's system menu.
    KeyBatch& menu = batches[1];
    Press(&menu, kKeyAlt);
    Press(&menu, kKeySpace);
    Release(&menu, kKeySpace);
    Release(&menu, kKeyAlt);

    // Batch 3: Edit, Select All; every key pressed is released again, or
    // the system would think it still held down.
    Tap(&batches[2], 'E');
    Tap(&batches[2], 'S');

    // Batch 4: Enter copies the selection; then the viewer's closing answers.
    KeyBatch& closing = batches[3];
    Tap(&closing, kKeyEnter);
    Tap(&closing, '4');
    Tap(&closing, kKeyEnter);
    Tap(&closing, '0');
    Tap(&closing, kKeyEnter);
    return batches;
}

bool SendGaugeLensKeys(platform::ConsoleWindow* window, const RunSettings& settings) {
    const RunTimings& timing = settings.timings;
    const std::uint32_t delaysMs[4] = {0, timing.keyMenuDelayMs, timing.keySelectDelayMs,
                                       timing.keyMenuDelayMs};
    const std::vector<KeyBatch> batches = GaugeLensKeyBatches(settings.driveNumber);
    for (std::size_t i = 0; i < batches.size(); ++i) {
        if (delaysMs[i] > 0) platform::SleepMs(delaysMs[i]);
        // Keys typed anywhere but the viewer would select and file another
        // window's text, or answer the tester's own prompts.
        if (!platform::BringToForeground(window)) return false;
        if (!platform::SendKeyEvents(batches[i])) return false;
    }
    return true;
}
