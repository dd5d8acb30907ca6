// A device tree that answers as Windows' configuration manager and class
// installer do, for tests of finding and restarting a drive's USB device.
#pragma once

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

    // Adds a node under node `parent` (-1: the root); returns its index.
    int Add(int parent, const std::string& id, const std::string& service = "");
    DeviceTree Tree();
};

