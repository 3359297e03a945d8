// Where a command line test's output goes besides its console lines: with
// --json the operator's lines move to standard error so that standard output
// holds only the JSON summary; on a terminal a progress line is kept in place.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <streambuf>

#include "console/progress_console.h"
#include "engine/context_roles.h"

class ScriptedOutputs {
public:
    /// Sets up a run's outputs until the object goes; the progress line only
    /// when standard output is a terminal and `json` is false.
    ScriptedOutputs(bool json, RunOutputs& outputs);
    ~ScriptedOutputs();
    ScriptedOutputs(const ScriptedOutputs&) = delete;
    ScriptedOutputs& operator=(const ScriptedOutputs&) = delete;

    /// Writes `document` to standard output, whatever the operator's lines use.
    void PrintJson(const nlohmann::ordered_json& document);

private:
    RunOutputs& outputs_;
    std::streambuf* standardOutput_;
    bool json_;
    std::unique_ptr<ProgressConsole> progress_;
};
