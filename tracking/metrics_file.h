// The run's figures in the Prometheus text exposition format, for the
// node exporter's textfile collector: one file per drive under test.
#pragma once

#include <string>

#include "tracking/run_figures.h"

/// The metrics text: gauges labelled by serial, model and host, ending in a
/// line feed.
std::string MetricsText(const RunFigures& figures);

/// <folder>/ssdtest_<serial>.prom; characters of the serial other than
/// letters, digits, '.', '-' and '_' become '_' (drive<N> when it is empty).
std::wstring MetricsFileName(const std::wstring& folder, const RunDriveIdentity& drive);
