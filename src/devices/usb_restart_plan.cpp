#include "devices/usb_restart_plan.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Deeper than any real chain of storage, hub and controller nodes; a tree
// that answers with a loop stops here.
constexpr unsigned kMaxTreeDepth = 32;
constexpr unsigned kMaxChildren = 64;
constexpr unsigned kRetryPauseMs = 1000;

bool StartsWithNoCase(const char* text, const char* prefix) {
    if (text == nullptr)
        return false;
    for (; *prefix != '\0'; ++text, ++prefix)
        if (*text == '\0' || tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix)))
            return false;
    return true;
}

bool EqualNoCase(const char* a, const char* b) {
    return StartsWithNoCase(a, b) && a[strlen(b)] == '\0';
}

struct Line {
    char text[512];
};

Line Format(const char* format, va_list arguments) {
    Line line;
    vsnprintf(line.text, sizeof(line.text), format, arguments);
    return line;
}

void Note(const DeviceTree& tree, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const Line line = Format(format, arguments);
    va_end(arguments);
    tree.note(tree.context, line.text);
}

// Keeps a line for the restart; a line that does not fit is left out whole.
void PlanLine(UsbRestartPlan* plan, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const Line line = Format(format, arguments);
    va_end(arguments);
    const size_t used = strnlen(plan->lines, sizeof(plan->lines));
    const size_t length = strlen(line.text);
    if (used + length >= sizeof(plan->lines)) {
        plan->linesCut = true;
        return;
    }
    memcpy(plan->lines + used, line.text, length + 1);
}

// The plan's lines, one note each.
void NotePlanLines(const DeviceTree& tree, const UsbRestartPlan& plan) {
    char line[sizeof(Line::text)];
    size_t start = 0;
    for (size_t i = 0; i < sizeof(plan.lines) && plan.lines[i] != '\0'; ++i) {
        if (plan.lines[i] != '\n')
            continue;
        const size_t length = i + 1 - start;
        if (length < sizeof(line)) {
            memcpy(line, plan.lines + start, length);
            line[length] = '\0';
            tree.note(tree.context, line);
        }
        start = i + 1;
    }
    if (plan.linesCut)
        tree.note(tree.context, "(more devices left out)\n");
}

// A description with terminated texts, "?" for an id that could not be read.
DeviceNodeInfo Describe(const DeviceTree& tree, DeviceNode node) {
    DeviceNodeInfo info{};
    if (!tree.describe(tree.context, node, &info))
        info = DeviceNodeInfo{};
    info.instanceId[kDeviceIdCapacity - 1] = '\0';
    info.service[kServiceNameCapacity - 1] = '\0';
    if (info.instanceId[0] == '\0')
        snprintf(info.instanceId, sizeof(info.instanceId), "?");
    return info;
}

bool FindStorageNode(const DeviceTree& tree, const VolumeAnswer& volume, DeviceNode* node) {
    const StorageKind kind = StorageKindOf(volume);
    return kind != StorageKind::None &&
           tree.findStorage(tree.context, kind, volume.deviceType, volume.deviceNumber, node);
}

struct UsbAncestor {
    DeviceNode node;
    DeviceNode viaChild;  // the child of `node` on the way up from the storage node
    DeviceNodeInfo info;
};

// The nearest node above `storage` that USB enumerated: the stick, the card
// reader or the USB function that holds the storage device.
bool FindUsbAncestor(const DeviceTree& tree, DeviceNode storage, UsbAncestor* found) {
    DeviceNode child = storage;
    for (unsigned depth = 0; depth < kMaxTreeDepth; ++depth) {
        DeviceNode up = 0;
        if (!tree.parent(tree.context, child, &up))
            return false;
        const DeviceNodeInfo info = Describe(tree, up);
        if (StartsWithNoCase(info.instanceId, "USB\\")) {
            *found = UsbAncestor{up, child, info};
            return true;
        }
        child = up;
    }
    return false;
}

// Restarting a hub would take every device behind it away.
bool IsHub(const DeviceNodeInfo& info) {
    return StartsWithNoCase(info.instanceId, "USB\\ROOT_HUB") || EqualNoCase(info.service, "usbhub") ||
           EqualNoCase(info.service, "usbhub3");
}

bool CarriesSystem(const DeviceTree& tree, const VolumeAnswer& system, DeviceNode usbNode) {
    DeviceNode storage = 0;
    UsbAncestor systemUsb{};
    return FindStorageNode(tree, system, &storage) && FindUsbAncestor(tree, storage, &systemUsb) &&
           systemUsb.node == usbNode;
}

// Names the other drives of the same USB device (a card reader's other
// slots), which go away and come back with it.
void NoteCompanions(const DeviceTree& tree, const UsbAncestor& usb, UsbRestartPlan* plan) {
    DeviceNode child = 0;
    bool more = tree.firstChild(tree.context, usb.node, &child);
    for (unsigned count = 0; more && count < kMaxChildren; ++count) {
        if (child != usb.viaChild)
            PlanLine(plan, "[%c] shares its USB device with %s, which restarts with it.\n", plan->letter,
                     Describe(tree, child).instanceId);
        more = tree.nextSibling(tree.context, child, &child);
    }
}

// Whether the device `instanceId` names runs now; `node` follows it. A
// restart may give the device a new node, and the old one then answers for
// no device: only the instance id still names it.
bool RunsNow(const DeviceTree& tree, const char* instanceId, DeviceNode* node) {
    DeviceNode found = 0;
    if (!tree.locate(tree.context, instanceId, &found))
        return false;  // between its stop and its start
    *node = found;
    return tree.isRunning(tree.context, found);
}

bool WaitUntilRunning(const DeviceTree& tree, const char* instanceId, DeviceNode* node) {
    for (unsigned poll = 0; poll < kRunningPolls; ++poll) {
        if (RunsNow(tree, instanceId, node))
            return true;
        tree.pause(tree.context, kRunningPollMs);
    }
    return RunsNow(tree, instanceId, node);
}

// What a state change came to: made, vetoed (Windows put the stop off and
// said so), unknown (put off as far as anyone can tell), or refused by the
// class installer.
enum class Change { Made, Vetoed, PutOff, Refused };

Change JudgeChange(const DeviceTree& tree, const StateChangeAnswer& answer) {
    if (!answer.installerDone) {
        Note(tree, "The class installer refused the restart (error %u).\n", answer.error);
        return Change::Refused;
    }
    // Without the install parameters there is no telling whether Windows
    // made the change or put it off.
    if (!answer.paramsRead) {
        Note(tree, "Windows did not say whether the device was restarted (error %u).\n", answer.error);
        return Change::PutOff;
    }
    if (answer.needReboot)
        Note(tree, "Windows asks for a reboot to finish restarting the device.\n");
    else if (answer.needRestart)
        Note(tree, "Windows could not stop the device now (is it in use?).\n");
    return answer.needReboot || answer.needRestart ? Change::Vetoed : Change::Made;
}

// Stops and starts `node` with DICS_PROPCHANGE until it runs again.
UsbRestartOutcome RestartHeldDevice(const DeviceTree& tree, DeviceNode node, const char* instanceId) {
    UsbRestartOutcome outcome = UsbRestartOutcome::Failed;
    for (unsigned attempt = 1; attempt <= kRestartAttempts; ++attempt) {
        if (attempt > 1)
            tree.pause(tree.context, kRetryPauseMs);
        // A stop and a start with no flag left behind: whatever happens next,
        // unplugging the device brings it back.
        const Change change =
            JudgeChange(tree, tree.changeState(tree.context, node, kDicsPropChange, kDicsFlagConfigSpecific));
        // A vetoed stop never happened: there is nothing to wait for, whatever
        // the device's status says while Windows waits for its restart.
        if (change == Change::Vetoed)
            return UsbRestartOutcome::NotRestarted;
        const bool running = WaitUntilRunning(tree, instanceId, &node);
        // A stop that Windows put off stays put off: whatever holds the device
        // open will not let go within a second. A device slow to start is not
        // restarted twice; one that stays down, or a refused change, is tried
        // again.
        if (running && change != Change::Refused)
            return change == Change::Made ? UsbRestartOutcome::Restarted : UsbRestartOutcome::NotRestarted;
        outcome = running ? UsbRestartOutcome::NotRestarted : UsbRestartOutcome::Failed;
        Note(tree,
             running ? "Windows did not restart %s (attempt %u of %u).\n"
                     : "%s did not start again (attempt %u of %u).\n",
             instanceId, attempt, kRestartAttempts);
    }
    return outcome;
}

}  // namespace

StorageKind StorageKindOf(const VolumeAnswer& volume) {
    if (!volume.numbered || volume.ntDeviceName == nullptr)
        return StorageKind::None;
    if (StartsWithNoCase(volume.ntDeviceName, "\\Device\\Floppy"))
        return StorageKind::Floppy;
    if (volume.deviceType == kFileDeviceDisk && StartsWithNoCase(volume.ntDeviceName, "\\Device\\Harddisk"))
        return StorageKind::Disk;
    return StorageKind::None;
}

UsbRestartPlan PlanUsbRestart(char letter, const VolumeAnswer& target, const VolumeAnswer& system,
                              const DeviceTree& tree) {
    UsbRestartPlan plan{};
    plan.letter = letter;
    PlanLine(&plan, "Restart [%c] if possible...\n", letter);

    DeviceNode storage = 0;
    if (!FindStorageNode(tree, target, &storage)) {
        PlanLine(&plan, "[%c] is on no disk or diskette drive that Windows lists: nothing will be restarted.\n",
                 letter);
        return plan;
    }
    PlanLine(&plan, "[%c] is %s \n", letter, Describe(tree, storage).instanceId);

    UsbAncestor usb{};
    if (!FindUsbAncestor(tree, storage, &usb)) {
        PlanLine(&plan, "[%c] hangs on no USB device: nothing will be restarted.\n", letter);
        return plan;
    }
    PlanLine(&plan, "[%c] is %s \n", letter, usb.info.instanceId);
    if (IsHub(usb.info)) {
        PlanLine(&plan, "%s is a USB hub: nothing will be restarted.\n", usb.info.instanceId);
        return plan;
    }
    if (CarriesSystem(tree, system, usb.node)) {
        PlanLine(&plan, "%s also carries the Windows disk: nothing will be restarted.\n", usb.info.instanceId);
        return plan;
    }
    NoteCompanions(tree, usb, &plan);

    plan.found = true;
    memcpy(plan.instanceId, usb.info.instanceId, sizeof(plan.instanceId));
    return plan;
}

UsbRestartOutcome RunUsbRestart(const UsbRestartPlan& plan, const DeviceTree& tree) {
    NotePlanLines(tree, plan);
    if (!plan.found) {
        Note(tree, "Nothing to restart for [%c].\n", plan.letter);
        return UsbRestartOutcome::NothingToRestart;
    }
    // Windows refuses the 32-bit program on 64-bit Windows any device
    // change; asking would only fail three times.
    if (tree.underWow64(tree.context)) {
        // ARM64 Windows 10 runs no x64 program: the 64-bit one is not named there.
        if (tree.nativeArm64 != nullptr && tree.nativeArm64(tree.context))
            Note(tree, "This 32-bit program runs on ARM64 Windows, which lets it restart no device: "
                       "%s is not restarted.\n",
                 plan.instanceId);
        else
            Note(tree, "This 32-bit program runs on 64-bit Windows, which lets only 64-bit programs restart devices: "
                       "%s is not restarted (TalvixDiskWriter.exe does it).\n",
                 plan.instanceId);
        return UsbRestartOutcome::NotRestarted;
    }
    DeviceNode node = 0;
    if (!tree.locate(tree.context, plan.instanceId, &node)) {
        Note(tree, "%s is gone: nothing was restarted.\n", plan.instanceId);
        return UsbRestartOutcome::NothingToRestart;
    }
    if (!tree.holdExit(tree.context)) {
        Note(tree, "The program is ending: %s is not restarted.\n", plan.instanceId);
        return UsbRestartOutcome::NothingToRestart;
    }

    Note(tree, "Restarting %s...\n", plan.instanceId);
    const UsbRestartOutcome outcome = RestartHeldDevice(tree, node, plan.instanceId);
    tree.releaseExit(tree.context);

    if (outcome == UsbRestartOutcome::Restarted)
        Note(tree, "%s runs again.\n", plan.instanceId);
    else if (outcome == UsbRestartOutcome::NotRestarted)
        Note(tree, "%s was not restarted; Windows may show the old contents until it is plugged in again.\n",
             plan.instanceId);
    else
        Note(tree, "Warning: %s could not be restarted; unplug it and plug it in again.\n", plan.instanceId);
    return outcome;
}

bool ConsoleEventEndsProcess(ConsoleEvent event, bool writeActive) {
    return event == ConsoleEvent::Close || !writeActive;
}
