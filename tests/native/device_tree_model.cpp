#include "device_tree_model.h"

#include <cstdio>

namespace {

DeviceTreeModel& Model(void* context) {
    return *static_cast<DeviceTreeModel*>(context);
}
// Node handles are index + 1: a handle of 0 is no device.
ModelNode* At(void* context, DeviceNode node) {
    auto& nodes = Model(context).nodes;
    return node >= 1 && node <= nodes.size() ? &nodes[node - 1] : nullptr;
}
bool Give(int index, DeviceNode* node) {
    *node = static_cast<DeviceNode>(index + 1);
    return index >= 0;
}
// The first node after index `from` under `parent`, or -1.
int ChildAfter(void* context, int parent, int from) {
    const auto& nodes = Model(context).nodes;
    for (int i = from + 1; i < static_cast<int>(nodes.size()); ++i)
        if (nodes[i].parent == parent)
            return i;
    return -1;
}
// A start that fails leaves the device stopped; false then.
bool Start(ModelNode* n) {
    if (n->failingStarts > 0) {
        --n->failingStarts;
        return false;
    }
    n->running = true;
    n->pendingPolls = n->slowStartPolls;
    return true;
}

// IOCTL_STORAGE_GET_DEVICE_NUMBER: each interface class (GUID_DEVINTERFACE_DISK,
// GUID_DEVINTERFACE_FLOPPY) numbers its devices from 0, all of type FILE_DEVICE_DISK.
bool FindStorage(void* context, StorageKind kind, uint32_t type, uint32_t number, DeviceNode* node) {
    for (const ModelInterface& i : Model(context).interfaces)
        if (i.kind == kind && type == kFileDeviceDisk && i.number == number)
            return Give(i.node, node);
    return false;
}
// CM_Get_Parent: the parent in the device tree; the root has none.
bool Parent(void* context, DeviceNode node, DeviceNode* parent) {
    const ModelNode* n = At(context, node);
    return n != nullptr && Give(n->parent, parent);
}
// CM_Get_Child: a node's first child.
bool FirstChild(void* context, DeviceNode node, DeviceNode* child) {
    return At(context, node) != nullptr && Give(ChildAfter(context, static_cast<int>(node) - 1, -1), child);
}
// CM_Get_Sibling: the next child of the same parent; the last has none.
bool NextSibling(void* context, DeviceNode node, DeviceNode* sibling) {
    const ModelNode* n = At(context, node);
    return n != nullptr && Give(ChildAfter(context, n->parent, static_cast<int>(node) - 1), sibling);
}
// CM_Get_Device_ID; CM_DRP_SERVICE of CM_Get_DevNode_Registry_Property.
bool Describe(void* context, DeviceNode node, DeviceNodeInfo* info) {
    const ModelNode* n = At(context, node);
    if (n == nullptr)
        return false;
    snprintf(info->instanceId, sizeof(info->instanceId), "%s", n->instanceId.c_str());
    snprintf(info->service, sizeof(info->service), "%s", n->service.c_str());
    return true;
}
// CM_Locate_DevNode with CM_LOCATE_DEVNODE_NORMAL: a present device, by its whole id.
bool Locate(void* context, const char* id, DeviceNode* node) {
    const auto& nodes = Model(context).nodes;
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].instanceId == id)
            return Give(static_cast<int>(i), node);
    return false;
}
// SP_PROPCHANGE_PARAMS: DICS_PROPCHANGE (3) stops and starts, whatever the valid
// scope, and leaves no flag; DICS_DISABLE (2) stops and sets the "disabled" flag
// (DICS_FLAG_CONFIGSPECIFIC: for the current profile); DICS_ENABLE (1) clears
// it and starts, and when it fails it changes nothing: the device stays disabled.
// SetupDiCallClassInstaller: a vetoed stop returns TRUE, DI_NEEDRESTART in the install params; the device
// runs on, its status showing CM_PROB_NEED_RESTART until it is restarted.
StateChangeAnswer ChangeState(void* context, DeviceNode node, uint32_t change, uint32_t scope) {
    DeviceTreeModel& model = Model(context);
    ModelNode* n = At(context, node);
    if (n == nullptr || scope < 1 || scope > 2 || change < 1 || change > 3)
        return {false, 87};  // ERROR_INVALID_PARAMETER
    if (n->instanceId.empty())
        return {false, 0xE000020B};  // ERROR_NO_SUCH_DEVINST: the node names no device now
    model.changesWithoutHold += model.holds == 0;
    // SetupDiCallClassInstaller, DIF_PROPERTYCHANGE: a 32-bit caller on 64-bit Windows fails with ERROR_IN_WOW64.
    if (model.wow64) {
        ++model.changesInWow64;
        return {false, 0xE0000235};
    }
    if (n->refusals > 0) {
        --n->refusals;
        return {false, 5};  // ERROR_ACCESS_DENIED
    }
    if (change == 1) {
        const bool started = Start(n);
        n->disabled = n->disabled && !started;
        return {started, 0, !n->paramsUnreadable};
    }
    if (n->vetoes > 0) {
        --n->vetoes;
        n->needsRestart = true;
        return {true, 0, !n->paramsUnreadable, true};
    }
    ++n->stops;
    n->running = false;
    n->disabled = n->disabled || change == 2;
    if (change == 3 && n->newNodeOnRestart) {
        // CM_Locate_DevNode: a device enumerated again may have a new DEVINST; the old one names no device.
        ModelNode again = *n;
        n->instanceId.clear();
        n->stops = 0;
        model.nodes.push_back(again);
        Start(&model.nodes.back());
        return {true, 0, !again.paramsUnreadable};
    }
    if (change == 3)
        Start(n);
    return {true, 0, !n->paramsUnreadable};
}
// CM_Get_DevNode_Status: DN_STARTED and no problem; a start may take a while.
bool IsRunning(void* context, DeviceNode node) {
    ModelNode* n = At(context, node);
    if (n == nullptr || !n->running || n->needsRestart)
        return false;
    if (n->pendingPolls == 0)
        return true;
    --n->pendingPolls;
    return false;
}
// HandlerRoutine (SetConsoleCtrlHandler): the process ends once the handler
// returns, so only a hold keeps it waiting for the device.
bool HoldExit(void* context) {
    return !Model(context).exiting && ++Model(context).holds > 0;
}
void ReleaseExit(void* context) {
    --Model(context).holds;
}
void Pause(void* context, unsigned milliseconds) {
    Model(context).pausedMs += milliseconds;
}
void Note(void* context, const char* line) {
    Model(context).console += line;
}
// IsWow64Process: TRUE for a 32-bit process on 64-bit Windows.
bool UnderWow64(void* context) {
    return Model(context).wow64;
}

}  // namespace

int DeviceTreeModel::Add(int parent, const std::string& id, const std::string& service) {
    nodes.push_back(ModelNode{id, service, parent});
    return static_cast<int>(nodes.size()) - 1;
}

DeviceTree DeviceTreeModel::Tree() {
    return {FindStorage, Parent,   FirstChild,  NextSibling, Describe, Locate, ChangeState,
            IsRunning,   HoldExit, ReleaseExit, Pause,       Note,     this,   UnderWow64, nullptr};
}
