// make_demo_floppy OUT.IMG
//
// Writes the demo image that the shipped program carries: an empty FAT12
// 1.44 MB floppy labelled TALVIX whose boot sector prints
// "TalvixOS demo floppy booted" on the screen and on COM1, then writes 0x10
// to port 0xF4 (QEMU's isa-debug-exit device ends QEMU with status 33) and
// halts. Every byte is fixed, so two runs give identical images.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

constexpr size_t kSectorSize = 512;
constexpr size_t kTotalSectors = 2880;
constexpr size_t kReservedSectors = 1;
constexpr size_t kFatCount = 2;
constexpr size_t kSectorsPerFat = 9;
constexpr size_t kRootEntries = 224;
constexpr uint8_t kMediaDescriptor = 0xF0;
constexpr uint32_t kVolumeSerial = 0x20240101;
constexpr char kVolumeLabel[] = "TALVIX     ";                           // 11 characters, space-padded
constexpr uint16_t kLabelDosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;  // 2024-01-01
constexpr uint16_t kLabelDosTime = 0;
constexpr uint16_t kBootOrigin = 0x7C00;  // where the BIOS loads sector 0
constexpr char kBanner[] = "TalvixOS demo floppy booted\r\n";

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Places hand-assembled 16-bit code into the boot sector and works out the
// short-jump displacements, so no offset is counted by hand.
struct Assembler {
    uint8_t* sector;
    size_t pc;

    void Emit(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes)
            sector[pc++] = b;
    }
    // Short jump (opcode + rel8) to an earlier label.
    void JumpBack(uint8_t opcode, size_t target) {
        Emit({opcode, static_cast<uint8_t>(static_cast<int>(target) - static_cast<int>(pc + 2))});
    }
    // Short jump to a label not yet known; returns where to patch it.
    size_t JumpForward(uint8_t opcode) {
        Emit({opcode, 0x00});
        return pc - 1;
    }
    // Points the forward jump at `patch` to the current position.
    void Land(size_t patch) { sector[patch] = static_cast<uint8_t>(pc - (patch + 1)); }
    // mov dx, port / mov al, value / out dx, al
    void OutByte(uint16_t port, uint8_t value) {
        Emit({0xBA, static_cast<uint8_t>(port), static_cast<uint8_t>(port >> 8)});
        Emit({0xB0, value});
        Emit({0xEE});
    }
};

void WriteBiosParameterBlock(uint8_t* s) {
    s[0] = 0xEB;
    s[1] = 0x3C;
    s[2] = 0x90;                           // jmp short 0x3E; nop
    std::memcpy(s + 0x03, "TALVIXOS", 8);  // OEM name
    Put16(s + 0x0B, kSectorSize);
    s[0x0D] = 1;  // sectors per cluster
    Put16(s + 0x0E, kReservedSectors);
    s[0x10] = kFatCount;
    Put16(s + 0x11, kRootEntries);
    Put16(s + 0x13, kTotalSectors);
    s[0x15] = kMediaDescriptor;
    Put16(s + 0x16, kSectorsPerFat);
    Put16(s + 0x18, 18);  // sectors per track
    Put16(s + 0x1A, 2);   // heads
    Put32(s + 0x1C, 0);   // hidden sectors
    Put32(s + 0x20, 0);   // large sector count: unused
    s[0x24] = 0x00;       // drive number: first floppy
    s[0x25] = 0;
    s[0x26] = 0x29;  // extended boot signature
    Put32(s + 0x27, kVolumeSerial);
    std::memcpy(s + 0x2B, kVolumeLabel, 11);
    std::memcpy(s + 0x36, "FAT12   ", 8);
}

void WriteBootCode(uint8_t* s) {
    Assembler a{s, 0x3E};
    a.Emit({0xFA});              // cli
    a.Emit({0x31, 0xC0});        // xor ax, ax
    a.Emit({0x8E, 0xD8});        // mov ds, ax
    a.Emit({0x8E, 0xC0});        // mov es, ax
    a.Emit({0x8E, 0xD0});        // mov ss, ax
    a.Emit({0xBC, 0x00, 0x7C});  // mov sp, 0x7C00
    a.Emit({0xFB});              // sti
    a.Emit({0xFC});              // cld

    // COM1 at 115200 baud, 8N1, no interrupts: a real UART may come up with
    // any settings, QEMU's does not care.
    a.OutByte(0x3F9, 0x00);  // IER: no interrupts
    a.OutByte(0x3FB, 0x80);  // LCR: DLAB on
    a.OutByte(0x3F8, 0x01);  // divisor low: 115200 baud
    a.OutByte(0x3F9, 0x00);  // divisor high
    a.OutByte(0x3FB, 0x03);  // LCR: 8N1, DLAB off

    size_t loadBanner = a.pc;
    a.Emit({0xBE, 0x00, 0x00});  // mov si, banner (patched below)
    size_t nextChar = a.pc;
    a.Emit({0xAC});                       // lodsb
    a.Emit({0x84, 0xC0});                 // test al, al
    size_t toDone = a.JumpForward(0x74);  // jz done
    a.Emit({0x50});                       // push ax  (some BIOSes clobber AX and SI)
    a.Emit({0x56});                       // push si
    a.Emit({0xB4, 0x0E});                 // mov ah, 0x0E  (teletype output)
    a.Emit({0xBB, 0x07, 0x00});           // mov bx, 0x0007  (page 0, grey)
    a.Emit({0xCD, 0x10});                 // int 0x10
    a.Emit({0x5E});                       // pop si
    a.Emit({0x58});                       // pop ax
    a.Emit({0x88, 0xC4});                 // mov ah, al  (keep the character; in al clobbers AL)
    a.Emit({0xBA, 0xFD, 0x03});           // mov dx, 0x3FD  (line status register)
    size_t waitUart = a.pc;
    a.Emit({0xEC});              // in al, dx
    a.Emit({0xA8, 0x20});        // test al, 0x20  (transmit holding register empty)
    a.JumpBack(0x74, waitUart);  // jz waitUart
    a.Emit({0xBA, 0xF8, 0x03});  // mov dx, 0x3F8
    a.Emit({0x88, 0xE0});        // mov al, ah
    a.Emit({0xEE});              // out dx, al
    a.JumpBack(0xEB, nextChar);  // jmp nextChar

    a.Land(toDone);        // done:
    a.Emit({0xB0, 0x10});  // mov al, 0x10
    a.Emit({0xE6, 0xF4});  // out 0xF4, al  (isa-debug-exit in QEMU)
    size_t halt = a.pc;
    a.Emit({0xFA});          // cli
    a.Emit({0xF4});          // hlt
    a.JumpBack(0xEB, halt);  // jmp halt  (an NMI can wake hlt)

    Put16(s + loadBanner + 1, static_cast<uint16_t>(kBootOrigin + a.pc));
    std::memcpy(s + a.pc, kBanner, sizeof kBanner);  // with its NUL
}

std::vector<uint8_t> MakeDemoFloppy() {
    std::vector<uint8_t> image(kTotalSectors * kSectorSize, 0);
    uint8_t* boot = image.data();
    WriteBiosParameterBlock(boot);
    WriteBootCode(boot);
    boot[510] = 0x55;
    boot[511] = 0xAA;

    // Both FATs: media byte, then the end-of-chain marker of cluster 1.
    for (size_t fat = 0; fat < kFatCount; ++fat) {
        uint8_t* p = image.data() + (kReservedSectors + fat * kSectorsPerFat) * kSectorSize;
        p[0] = kMediaDescriptor;
        p[1] = 0xFF;
        p[2] = 0xFF;
    }

    // The root directory's only entry: the volume label.
    uint8_t* root = image.data() + (kReservedSectors + kFatCount * kSectorsPerFat) * kSectorSize;
    std::memcpy(root, kVolumeLabel, 11);
    root[11] = 0x08;  // attribute: volume label
    Put16(root + 22, kLabelDosTime);
    Put16(root + 24, kLabelDosDate);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_floppy OUT.IMG\n");
        return 2;
    }
    std::vector<uint8_t> image = MakeDemoFloppy();
    std::FILE* out = std::fopen(argv[1], "wb");
    bool ok = out != nullptr && std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (out != nullptr && std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(stderr, "make_demo_floppy: cannot write %s\n", argv[1]);
        if (out != nullptr)
            std::remove(argv[1]);
        return 1;
    }
    return 0;
}
