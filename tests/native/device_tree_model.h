// A device tree that answers as Windows' configuration manager and class
// installer do, for tests of finding and restarting a drive's USB device.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "devices/usb_restart_plan.h"

struct ModelNode {
    std::string instanceId, service;
    int parent;  // index, -1 for the root
    bool running = true;
    bool disabled = false;   // the persistent "disabled" flag
    int failingStarts = 0;   // this many starts from now on fail
    int slowStartPolls = 0;  // after a start, this many status queries say "not yet"
    int pendingPolls = 0;
    int stops = 0;                                       // by any state change
    int vetoes = 0, refusals = 0, paramsUnreadable = 0;  // stops vetoed, changes refused; no install params
    bool needsRestart = false;  // a vetoed stop left it flagged: its status reports a problem
    bool newNodeOnRestart = false;  // a restart enumerates it again under a new node
};

struct ModelInterface {
    StorageKind kind;  // the interface class that lists it
    uint32_t number;
    int node;
};

struct DeviceTreeModel {
    std::vector<ModelNode> nodes;
    std::vector<ModelInterface> interfaces;
    std::string console;
    int holds = 0;
    int changesWithoutHold = 0;
    bool exiting = false;  // the process is ending: no more holds
    unsigned pausedMs = 0;
    bool wow64 = false;    // a 32-bit program on 64-bit Windows
    int changesInWow64 = 0;

    // Adds a node under node `parent` (-1: the root); returns its index.
    int Add(int parent, const std::string& id, const std::string& service = "");
    DeviceTree Tree();
};

// True when the event ends the process; `handlers` as registered.
inline bool DeliverConsoleEvent(const std::vector<std::function<bool(ConsoleEvent)>>& handlers, ConsoleEvent event) {
    // Console Control Handlers: last registered, first called, until one returns TRUE; else ExitProcess.
    return std::none_of(handlers.rbegin(), handlers.rend(), [&](const auto& handler) { return handler(event); });
}
