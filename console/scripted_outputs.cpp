#include "console/scripted_outputs.h"

#include <iostream>
#include <string>

#include "console/json_output.h"
#include "platform/host_info.h"

ScriptedOutputs::ScriptedOutputs(bool json, RunOutputs& outputs)
    : outputs_(outputs), standardOutput_(std::cout.rdbuf()), json_(json) {
    outputs_.sayNotes = true;
    if (json_) {
        std::cout.flush();
        std::cout.rdbuf(std::cerr.rdbuf());
    } else if (platform::OutputIsTerminal()) {
        progress_ = std::make_unique<ProgressConsole>(std::cout);
        ProgressConsole* const progress = progress_.get();
        outputs_.drawProgress = [progress](const std::string& line) { progress->Draw(line); };
    }
}

ScriptedOutputs::~ScriptedOutputs() {
    outputs_.drawProgress = nullptr;
    progress_.reset();
    std::cout.flush();
    std::cout.rdbuf(standardOutput_);
}

void ScriptedOutputs::PrintJson(const nlohmann::ordered_json& document) {
    std::cout.flush();
    const std::string text = JsonText(document);
    standardOutput_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    standardOutput_->pubsync();
}
