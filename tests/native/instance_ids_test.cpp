// Tests of reading a disk's serial from its instance id and finding the USB
// device that carries it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "devices/instance_ids.h"

namespace {

// Reads an id from a heap block of exactly its length, unterminated, so that
// ASan catches a reader that runs past the bound it was given.
UsbSerial SerialOf(const std::string& id) {
    std::vector<char> bytes(id.begin(), id.end());
    bytes.shrink_to_fit();
    return SerialFromDiskInstanceId(bytes.empty() ? nullptr : bytes.data(), bytes.size());
}

bool Matches(const std::string& id, const UsbSerial& serial) {
    std::vector<char> bytes(id.begin(), id.end());
    bytes.shrink_to_fit();
    return UsbInstanceIdMatches(bytes.empty() ? nullptr : bytes.data(), bytes.size(), serial);
}

const std::string kDisk = "USBSTOR\\DISK&VEN_TALVIX&PROD_STICK&REV_1.00\\";

TEST(InstanceIds, SerialIsBetweenTheLastBackslashAndTheLastAmpersand) {
    struct Case {
        std::string id;
        SerialVerdict verdict;
        std::string serial;
    };
    std::vector<Case> cases = {
        {kDisk + "0123456789AB&0", SerialVerdict::Found, "0123456789AB"},
        {kDisk + "0123456789AB&12", SerialVerdict::Found, "0123456789AB"},
        // Serial-less sticks get a made-up part with ampersands of its own.
        {kDisk + "7&2A3B4C5D&0&1", SerialVerdict::Found, "7&2A3B4C5D&0"},
        {"\\X&0", SerialVerdict::Found, "X"},
        {kDisk + std::string(63, 'S') + "&0", SerialVerdict::Found, std::string(63, 'S')},
        {kDisk + std::string(64, 'S') + "&0", SerialVerdict::TooLong, ""},
        {kDisk + std::string(900, 'S') + "&0", SerialVerdict::TooLong, ""},
        {kDisk + "&0", SerialVerdict::Empty, ""},
        {kDisk, SerialVerdict::NoAmpersand, ""},
        // The ampersands of the device part stand before the last backslash.
        {kDisk + "0123456789AB", SerialVerdict::NoAmpersand, ""},
        {"USBSTOR&DISK&0123456789AB&0", SerialVerdict::NoBackslash, ""},
        {"0123456789AB&0", SerialVerdict::NoBackslash, ""},
        {"", SerialVerdict::NoBackslash, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        UsbSerial serial = SerialOf(c.id);
        EXPECT_EQ(serial.verdict, c.verdict);
        EXPECT_STREQ(serial.text, c.serial.c_str());
        EXPECT_EQ(serial.length, c.serial.size());
    }
    EXPECT_EQ(SerialFromDiskInstanceId(nullptr, 1024).verdict, SerialVerdict::NoBackslash);
}

TEST(InstanceIds, IdEndsAtItsTerminatorOrAtTheBufferEnd) {
    // A 1024-byte buffer as the device query fills it: text, NUL, leftovers.
    char buffer[1024];
    memset(buffer, 'x', sizeof(buffer));
    std::string id = kDisk + "0123456789AB&0";
    memcpy(buffer, id.c_str(), id.size() + 1);
    memcpy(buffer + id.size() + 1, "\\Z&0", 4);  // stale text past the end
    UsbSerial serial = SerialFromDiskInstanceId(buffer, sizeof(buffer));
    EXPECT_EQ(serial.verdict, SerialVerdict::Found);
    EXPECT_STREQ(serial.text, "0123456789AB");

    // A capacity that cuts the id short hides what lies beyond it.
    EXPECT_EQ(SerialFromDiskInstanceId(buffer, kDisk.size() + 12).verdict, SerialVerdict::NoAmpersand);
    EXPECT_STREQ(SerialFromDiskInstanceId(buffer, kDisk.size() + 13).text, "0123456789AB");
    EXPECT_EQ(SerialFromDiskInstanceId(buffer, 0).verdict, SerialVerdict::NoBackslash);
}

TEST(InstanceIds, UsbDeviceMatchesOnlyItsExactSerial) {
    UsbSerial serial = SerialOf(kDisk + "0123456789AB&0");
    ASSERT_EQ(serial.verdict, SerialVerdict::Found);
    struct Case {
        std::string id;
        bool matches;
    };
    std::vector<Case> cases = {
        {"USB\\VID_1234&PID_5678\\0123456789AB", true},
        {"\\0123456789AB", true},
        {"USB\\VID_1234&PID_5678\\0123456789ab", false},  // case counts
        {"USB\\VID_1234&PID_5678\\0123456789ABC", false},
        {"USB\\VID_1234&PID_5678\\123456789AB", false},
        {"USB\\VID_1234&PID_5678\\X0123456789AB", false},
        {"USB\\VID_1234&PID_5678\\0123456789AB&0", false},
        {"USB\\VID_1234&PID_5678\\", false},
        {"USB\\ROOT_HUB30\\4&1F2E3D4C&0&0", false},
        {"0123456789AB", false},  // no backslash: not compared whole
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Matches(c.id, serial), c.matches) << c.id;

    // The comparison stops at the terminator of a NUL-filled buffer.
    char buffer[1024] = "USB\\VID_1234&PID_5678\\0123456789AB";
    EXPECT_TRUE(UsbInstanceIdMatches(buffer, sizeof(buffer), serial));
    EXPECT_FALSE(UsbInstanceIdMatches(buffer, strlen(buffer) - 1, serial));
    EXPECT_FALSE(UsbInstanceIdMatches(nullptr, 1024, serial));
}

TEST(InstanceIds, NoUsableSerialMatchesNothing) {
    std::vector<std::string> disks = {
        kDisk + std::string(64, 'S') + "&0",  // too long to keep
        kDisk + "0123456789AB",               // no ampersand after the backslash
        kDisk + "&0",                         // empty serial
        "0123456789AB&0",                     // no backslash
    };
    // USB ids that a cut, empty or whole-id serial would wrongly match.
    std::vector<std::string> usbIds = {
        "USB\\VID_1234&PID_5678\\" + std::string(63, 'S'),
        "USB\\VID_1234&PID_5678\\" + std::string(64, 'S'),
        "USB\\VID_1234&PID_5678\\0123456789AB",
        "USB\\VID_1234&PID_5678\\",
        "\\",
        "0123456789AB&0",
        "",
    };
    for (const std::string& disk : disks) {
        UsbSerial serial = SerialOf(disk);
        EXPECT_NE(serial.verdict, SerialVerdict::Found) << disk;
        for (const std::string& usb : usbIds)
            EXPECT_FALSE(Matches(usb, serial)) << disk << " / " << usb;
    }
    // A record that claims Found but holds nothing, or too much, matches nothing either.
    UsbSerial forged{};
    forged.verdict = SerialVerdict::Found;
    EXPECT_FALSE(Matches("USB\\VID_1234&PID_5678\\", forged));
    forged.length = kUsbSerialCapacity;
    EXPECT_FALSE(Matches("USB\\VID_1234&PID_5678\\" + std::string(64, '\0'), forged));
}

TEST(InstanceIds, LongestSerialStillMatches) {
    std::string longest(63, 'Q');
    UsbSerial serial = SerialOf(kDisk + longest + "&0");
    ASSERT_EQ(serial.verdict, SerialVerdict::Found);
    EXPECT_TRUE(Matches("USB\\VID_1234&PID_5678\\" + longest, serial));
    EXPECT_FALSE(Matches("USB\\VID_1234&PID_5678\\" + longest + "Q", serial));
}

}  // namespace
