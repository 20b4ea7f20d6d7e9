#pragma once

#include "SimThroughputRuns.h"

// A simulated camera's answer to the throughput-test command: it runs our
// throughput client against the station's server for the requested duration,
// paced to MaxThroughput (Mbit/s), and ends early when the LAN stops it.
void RunSimThroughputClient(const SimThroughputRequest& request, const std::atomic<bool>& stop);
