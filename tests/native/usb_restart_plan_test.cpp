// Finding and restarting a drive's USB device, on machines built in a model
// of the device tree.
#include "devices/usb_restart_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "device_tree_model.h"

namespace {

const VolumeAnswer kDisk0 = {true, kFileDeviceDisk, 0, "\\Device\\HarddiskVolume3"};
const VolumeAnswer kDisk1 = {true, kFileDeviceDisk, 1, "\\Device\\HarddiskVolume9"};
const VolumeAnswer kDisk2 = {true, kFileDeviceDisk, 2, "\\Device\\HarddiskVolume10"};
const VolumeAnswer kFloppy0 = {true, kFileDeviceDisk, 0, "\\Device\\Floppy0"};
constexpr StorageKind kDisk = StorageKind::Disk;

const char kStick[] = "USB\\VID_0781&PID_5567\\4C530001230214118093";
const char kNoSerial[] = "USB\\VID_090C&PID_1000\\5&1A2B3C4D&0&2";
const char kUas[] = "USB\\VID_174C&PID_55AA\\5&3B2A1C0D&0&4";
const char kReader[] = "USB\\VID_05E3&PID_0751\\000000000099";
const char kSdSlot[] = "USBSTOR\\DISK&VEN_GENERIC&PROD_SD&REV_1.00\\000000000099&0";
const char kFakeSerial[] = "USB\\VID_1234&PID_5678\\0123456789ABCDEF";
const char kFloppyDrive[] = "USB\\VID_057B&PID_0001\\5&2C3D4E5F&0&3";
const char kUsbSystem[] = "USB\\VID_0BC2&PID_231A\\NA8K1234";
const char kUsbSystemDisk[] = "USBSTOR\\DISK&VEN_SEAGATE&PROD_EXPANSION&REV_0710\\NA8K1234&0";

// One storage node, under a USB device of its own (`usb`), under the USB
// device before it (null), or on the SATA controller ("").
struct Device {
    const char* usb;
    const char* storage;
    StorageKind kind;
    uint32_t number;
    const char* service = "USBSTOR";
    int failingStarts = 0, slowStartPolls = 0, vetoes = 0, refusals = 0, paramsUnreadable = 0;
    bool newNode = false;  // a restart gives it a new device node
};

struct Case {
    const char* name;
    std::vector<Device> devices;
    VolumeAnswer target;
    const char* restarted;  // the one device restarted; null for none
    int stops;              // how often it is stopped
    UsbRestartOutcome outcome;
    const char* console;  // text the console must show
    unsigned maxPausedMs = ~0u;
    bool wow64 = false;   // the 32-bit program on 64-bit Windows
};

// An xHCI root hub and a SATA controller, disk 0 on SATA unless a device is
// disk 0, and the devices.
void Build(DeviceTreeModel& m, const std::vector<Device>& devices) {
    const int xhci = m.Add(m.Add(-1, "HTREE\\ROOT\\0"), "PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0", "USBXHCI");
    const int hub = m.Add(xhci, "USB\\ROOT_HUB30\\4&2A8C5B9F&0&0", "USBHUB3");
    const int sata = m.Add(0, "PCI\\VEN_8086&DEV_A352\\3&11583659&0&B8", "storahci");
    m.interfaces.push_back({kDisk, 0, m.Add(sata, "SCSI\\DISK&VEN_NVME&PROD_SSD\\4&1F2E3D4C&0&000000", "disk")});
    int usb = -1;
    for (const Device& d : devices) {
        if (d.usb != nullptr)
            usb = d.usb[0] == '\0' ? sata : m.Add(hub, d.usb, d.service);
        m.nodes[usb].failingStarts = d.failingStarts;
        m.nodes[usb].slowStartPolls = d.slowStartPolls;
        m.nodes[usb].vetoes = d.vetoes;
        m.nodes[usb].refusals = d.refusals;
        m.nodes[usb].paramsUnreadable = d.paramsUnreadable;
        m.nodes[usb].newNodeOnRestart = d.newNode;
        if (d.kind == kDisk && d.number == 0)
            m.interfaces.erase(m.interfaces.begin());
        m.interfaces.push_back({d.kind, d.number, m.Add(usb, d.storage, "disk")});
    }
}

// clang-format off
const Case kCases[] = {
    {"stick with a serial, slow to start",
     {{kStick, "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER\\4C530001230214118093&0", kDisk, 1, "USBSTOR", 0, 3}},
     kDisk1, kStick, 1, UsbRestartOutcome::Restarted, "runs again"},
    {"stick without a serial",
     {{kNoSerial, "USBSTOR\\DISK&VEN_SMI&PROD_USB_DISK&REV_1100\\7&2A3B4C5D&0&0", kDisk, 1}},
     kDisk1, kNoSerial, 1, UsbRestartOutcome::Restarted, ""},
    {"UAS stick",
     {{kUas, "SCSI\\DISK&VEN_SAMSUNG&PROD_PORTABLE_SSD_T5\\7&1E2F3A4B&0&000000", kDisk, 1, "UASPStor"}},
     kDisk1, kUas, 1, UsbRestartOutcome::Restarted, ""},
    {"card reader, second slot",
     {{kReader, kSdSlot, kDisk, 1}, {nullptr, "USBSTOR\\DISK&VEN_GENERIC&PROD_MS&REV_1.00\\000000000099&1", kDisk, 2}},
     kDisk2, kReader, 1, UsbRestartOutcome::Restarted, kSdSlot},
    {"two devices with the same fake serial",
     {{kFakeSerial, "USBSTOR\\DISK&VEN_CHEAP&PROD_STICK\\0123456789ABCDEF&0", kDisk, 1},
      {"USB\\VID_ABCD&PID_1234\\0123456789ABCDEF", "USBSTOR\\DISK&VEN_OTHER&PROD_STICK\\0123456789ABCDEF&0", kDisk, 2}},
     kDisk1, kFakeSerial, 1, UsbRestartOutcome::Restarted, ""},
    {"USB diskette drive on A:, USB system disk 0",
     {{kUsbSystem, kUsbSystemDisk, kDisk, 0},
      {kFloppyDrive, "USBSTOR\\SFLOPPY&VEN_Y-E_DATA&PROD_USB-FDU\\6&1A2B3C4D&0&0", StorageKind::Floppy, 0}},
     kFloppy0, kFloppyDrive, 1, UsbRestartOutcome::Restarted, ""},
    {"the USB system disk itself", {{kUsbSystem, kUsbSystemDisk, kDisk, 0}},
     kDisk0, nullptr, 0, UsbRestartOutcome::NothingToRestart, "Windows disk"},
    {"second SATA disk, no USB above it", {{"", "SCSI\\DISK&VEN_WDC\\4&1F2E3D4C&0&010000", kDisk, 1, "storahci"}},
     kDisk1, nullptr, 0, UsbRestartOutcome::NothingToRestart, "no USB device"},
    {"an enable that fails once after the stop", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 1}},
     kDisk1, kStick, 2, UsbRestartOutcome::Restarted, "did not start again (attempt 1 of 3)"},
    {"an enable that always fails after the stop", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 99}},
     kDisk1, kStick, 3, UsbRestartOutcome::Failed, "Warning: "},
    {"a stop vetoed, neither asked again nor waited for", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 0, 0, 1}},
     kDisk1, kStick, 0, UsbRestartOutcome::NotRestarted, "could not stop the device now", 0},
    {"no install parameters after the change", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 0, 0, 0, 0, 1}},
     kDisk1, kStick, 1, UsbRestartOutcome::NotRestarted, "did not say whether"},
    {"a change always refused", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 0, 0, 0, 99}},
     kDisk1, kStick, 0, UsbRestartOutcome::NotRestarted, "(attempt 3 of 3)"},
    {"a restart that gives the device a new node, slow to start",
     {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1, "USBSTOR", 0, 3, 0, 0, 0, true}},
     kDisk1, kStick, 1, UsbRestartOutcome::Restarted, "runs again"},
    {"the 32-bit program on 64-bit Windows does not try", {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1}},
     kDisk1, kStick, 0, UsbRestartOutcome::NotRestarted, "TalvixDiskWriter.exe does it", ~0u, true},
};
// clang-format on

TEST(UsbRestartPlan, RestartsOnlyTheUsbDeviceTheDriveHangsOnAndNeverLeavesItDown) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        DeviceTreeModel model;
        Build(model, c.devices);
        model.wow64 = c.wow64;
        const DeviceTree tree = model.Tree();

        const UsbRestartPlan plan = PlanUsbRestart('E', c.target, kDisk0, tree);
        EXPECT_EQ(plan.found, c.restarted != nullptr);
        EXPECT_EQ(model.console, "") << "a plan is silent until its restart";
        EXPECT_EQ(RunUsbRestart(plan, tree), c.outcome);
        for (const ModelNode& node : model.nodes) {
            SCOPED_TRACE(node.instanceId);
            EXPECT_EQ(node.stops, c.restarted != nullptr && node.instanceId == c.restarted ? c.stops : 0);
            EXPECT_FALSE(node.disabled);
        }
        EXPECT_EQ(model.changesWithoutHold, 0);
        EXPECT_EQ(model.changesInWow64, 0);
        EXPECT_EQ(model.holds, 0);
        EXPECT_NE(model.console.find(c.console), std::string::npos) << model.console;
        EXPECT_LE(model.pausedMs, c.maxPausedMs);
    }
}

// Ctrl+C or the console closing during a write, with the writer's handler and
// the restart's registered in either order: only an event that ends the
// process skips the write's restart.
TEST(UsbRestartPlan, AConsoleEventSkipsTheRestartOnlyWhenTheProcessEnds) {
    using E = ConsoleEvent;
    using O = UsbRestartOutcome;
    // clang-format off
    const struct { E event; bool writerFirst, ends; O outcome; } cases[] = {
        {E::Interrupt, true, false, O::Restarted}, {E::Interrupt, false, false, O::Restarted},
        {E::Close, true, true, O::NothingToRestart}, {E::Close, false, true, O::Restarted}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.event) << c.writerFirst);
        DeviceTreeModel model;
        Build(model, {{kStick, "USBSTOR\\DISK&VEN_X\\1&0", kDisk, 1}});
        const UsbRestartPlan plan = PlanUsbRestart('E', kDisk1, kDisk0, model.Tree());
        O outcome = O::Failed;
        bool writing = true;
        const auto endWrite = [&] { outcome = RunUsbRestart(plan, model.Tree()), writing = false; };
        // The writer's: Ctrl+C closes the window after the write; any other event waits for the write.
        const auto writer = [&](E event) { return writing && (event == E::Interrupt || (endWrite(), false)); };
        const auto restart = [&](E event) { return model.exiting |= ConsoleEventEndsProcess(event, writing), false; };
        using Handlers = std::vector<std::function<bool(E)>>;
        EXPECT_EQ(DeliverConsoleEvent(c.writerFirst ? Handlers{writer, restart} : Handlers{restart, writer}, c.event),
                  c.ends);
        if (writing)
            endWrite();
        EXPECT_EQ(outcome, c.outcome);
    }
}

}  // namespace
