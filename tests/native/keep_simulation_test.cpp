// A seeded simulation of the keep, the write and Put back on the storage
// model and a folder of copies: random writes, writes cut short, cards
// swapped in one reader, files saved on them, a full disk, files planted by
// another account, the folder deleted, every question answered at random.
// After every step an oracle that knows what each card held checks what
// the program promises. TDW_SIM_SEEDS=N runs N seeds instead of the fixed
// set; a failing seed prints its steps, shortened.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "keep/keep_step.h"
#include "keep/kept_store.h"
#include "keep/put_back_choice.h"
#include "storage_model.h"

namespace {

// In place of SHA-256, whose cost would cut the runs tenfold: the keep's
// decisions need only that different bytes differ.
bool QuickHash(const uint8_t* data, uint32_t size, uint8_t digest[32]) {
    uint64_t lanes[4] = {size, 0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull};
    uint64_t a = lanes[0], b = lanes[1], c = lanes[2], d = lanes[3];  // four chains the processor runs side by side
    const auto mix = [](uint64_t& lane, uint64_t word) {
        lane = (lane ^ word) * 0xFF51AFD7ED558CCDull;
        lane ^= lane >> 29;
    };
    uint32_t i = 0;
    for (uint64_t word[4]; i + 32 <= size; i += 32) {
        memcpy(word, data + i, 32);
        mix(a, word[0]), mix(b, word[1]), mix(c, word[2]), mix(d, word[3]);
    }
    lanes[0] = a, lanes[1] = b, lanes[2] = c, lanes[3] = d;
    for (; i < size; ++i)
        lanes[i & 3] = (lanes[i & 3] ^ data[i]) * 0x100000001B3ull;
    for (unsigned k = 0; k < 4; ++k) {
        uint64_t x = lanes[k] ^ (lanes[(k + 1) & 3] * 31);
        x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
        x ^= x >> 27;
        memcpy(digest + 8 * k, &x, 8);
    }
    return true;
}

uint64_t ChunkDigest(const uint8_t* chunk) {
    uint8_t digest[32];
    QuickHash(chunk, kWriteChunkSize, digest);
    uint64_t value;
    memcpy(&value, digest, 8);
    return value;
}

// The copies' folder as the file calls see it. A file another account
// placed is listed, but the folder's trust layer opens it for nothing.
struct Folder {
    std::map<std::string, std::vector<uint8_t>> files;
    std::set<std::string> foreign;
    bool full = false;

    static Folder* Of(void* c) { return static_cast<Folder*>(c); }
    static bool Ours(void* c, const char* name) { return Of(c)->files.count(name) && !Of(c)->foreign.count(name); }
    KeptFiles Calls() {
        KeptFiles k{};
        k.context = this;
        k.list = [](void* c, void (*each)(void*, const char*), void* user) -> uint32_t {
            std::vector<std::string> names;  // a call may remove the file it is told of
            for (const auto& file : Of(c)->files)
                names.push_back(file.first);
            for (const std::string& name : names)
                each(user, name.c_str());
            return 0;
        };
        k.length = [](void* c, const char* name, uint64_t* length) -> uint32_t {
            return Ours(c, name) ? (*length = Of(c)->files[name].size(), 0u) : 5u;
        };
        k.read = [](void* c, const char* name, uint64_t at, uint8_t* data, uint32_t size, uint32_t* done) -> uint32_t {
            *done = 0;
            if (!Ours(c, name) || at > Of(c)->files[name].size())
                return 5;
            const std::vector<uint8_t>& file = Of(c)->files[name];
            *done = uint32_t(std::min<uint64_t>(size, file.size() - at));
            memcpy(data, file.data() + at, *done);
            return 0;
        };
        k.create = [](void* c, const char* name, const uint8_t* const* parts, const uint32_t* sizes,
                      unsigned count) -> uint32_t {
            if (Of(c)->full)
                return 112;  // ERROR_DISK_FULL
            if (Of(c)->files.count(name))
                return 80;  // ERROR_FILE_EXISTS
            std::vector<uint8_t>& file = Of(c)->files[name];
            for (unsigned i = 0; i < count; ++i)
                file.insert(file.end(), parts[i], parts[i] + sizes[i]);
            return 0;
        };
        k.rename = [](void* c, const char* from, const char* to) -> uint32_t {
            if (!Ours(c, from) || Of(c)->files.count(to))
                return 5;
            Of(c)->files[to] = std::move(Of(c)->files[from]);
            return Of(c)->files.erase(from), 0;
        };
        k.remove = [](void* c, const char* name) -> uint32_t { return Ours(c, name) ? Of(c)->files.erase(name), 0 : 5; };
        k.update = [](void* c, const char* name, uint64_t at, const uint8_t* data, uint32_t size) -> uint32_t {
            if (!Ours(c, name) || at + size > Of(c)->files[name].size())
                return 5;
            return memcpy(Of(c)->files[name].data() + at, data, size), 0;
        };
        return k;
    }
};

enum class Op { WriteA, WriteB, PutBack, Swap, Save, Fill, Plant, Remake, Count };
const char* const kOpNames[] = {"write A", "write B", "Put back", "swap to card", "save a file in chunk",
                                "fill the copies' disk", "plant as another user", "delete and remake the folder"};
// How a write ends: read back, refused before its first byte, read back
// different, or cut short at a chunk (the card pulled, the process killed).
enum End { kProven, kNothing = 3, kDiffers, kCut };

struct Step {
    Op op;
    uint32_t end, arg;  // `arg`: the answers, one bit a question; the card; the chunk; what is planted
};

std::string Describe(const Step& step) {
    std::string text = kOpNames[int(step.op)];
    if (step.op == Op::Swap || step.op == Op::Save || step.op == Op::Plant)
        return text + " " + std::to_string(step.arg % (step.op == Op::Save ? kWriteChunkCount : 4));
    if (step.op > Op::PutBack)
        return text;
    const char* ends[] = {"read back", "read back", "read back", "refused at once", "read back different"};
    text += step.end < kCut ? std::string(", ") + ends[step.end]
                            : ", cut short at chunk " + std::to_string(step.end % kWriteChunkCount);
    return text + ", answers " + std::to_string(step.arg & 15);
}

// Sector-aligned, as unbuffered reads and writes need them.
struct Aligned {
    alignas(4096) uint8_t bytes[kWriteImageSize + kMaxKeptTailSize];
    const uint8_t* data() const { return bytes; }
    uint8_t* data() { return bytes; }
};

const Aligned& Image(int which) {
    static Aligned images[2];
    static bool made[2];
    std::mt19937_64 random(which + 1);
    for (uint32_t i = 0; !made[which] && i < kWriteImageSize; ++i)
        images[which].bytes[i] = uint8_t(random());
    made[which] = true;
    return images[which];
}

// Four cards for one reader: two with files past the image, two blank there
// (which no copy tells apart).
constexpr unsigned kCards = 4;
unsigned ClassOf(unsigned card) { return card < 2 ? card : 2; }

struct World {
    StorageModel model = SystemOnly();
    StorageCalls calls{};
    TargetIdentity chosen{};
    Folder folder;
    KeptFiles files = folder.Calls();
    std::vector<uint8_t> cards[kCards];  // the cards out of the reader
    std::vector<uint8_t> beyond[kCards];  // what each holds past the image and its tail, which nothing writes
    std::vector<uint8_t> system;
    unsigned in = 0;
    std::set<uint64_t> held[kCards][kWriteChunkCount];
    bool cutPending[3] = {};
    uint64_t clock = 1000;
    uint32_t answers = 0, cutChunk = 0;
    unsigned asked = 0;
    bool lossAgreed = false, unrecordedAgreed = false;
    std::mt19937_64 bytes{7};  // the contents of saved and planted files

    std::vector<uint8_t>& Medium() { return model.disks[1].medium; }
};
World* g_world = nullptr;

bool Answer(const KeepRequest&, KeepQuestion question, uint64_t) {
    World& w = *g_world;
    const bool yes = (w.answers >> (w.asked++ % 32)) & 1;
    w.lossAgreed |= yes && question != KeepQuestion::NotRecorded;
    w.unrecordedAgreed |= yes && question == KeepQuestion::NotRecorded;
    return yes;
}

void Setup(World& w) {
    AddStick(&w.model, "superfloppy", 'E');
    w.calls = w.model.Calls();
    w.chosen = IdentifyTarget(w.calls, 'E');
    w.system = w.model.disks[0].medium;
    for (unsigned card = 0; card < kCards; ++card) {
        std::vector<uint8_t>& bytes = w.cards[card] = w.Medium();
        for (size_t i = card * 4096; card > 0 && i < kWriteImageSize; i += 4096)
            bytes[i] ^= uint8_t(0x5A + card);
        for (size_t i = kWriteImageSize; card == 1 && i < bytes.size(); i += 512)
            bytes[i] ^= 0x33;
        if (card >= 2)
            std::fill(bytes.begin() + kWriteImageSize, bytes.end(), 0);
        w.beyond[card].assign(bytes.begin() + kWriteImageSize + kMaxKeptTailSize, bytes.end());
        for (uint32_t i = 0; i < kWriteChunkCount; ++i)
            w.held[card][i].insert(ChunkDigest(bytes.data() + i * kWriteChunkSize));
    }
    w.Medium() = w.model.disks[1].cache = w.cards[0];
    // Copies of another drive's sticks, so that the limit is near.
    KeptCopyHeader other{};
    snprintf(other.device.serial, sizeof(other.device.serial), "another");
    other.device.letter = 'F';
    other.mark = MediumMark::Fingerprint;
    std::vector<uint8_t> file(kKeptHeaderSize + kWriteImageSize, 0x44);
    QuickHash(file.data() + kKeptHeaderSize, kWriteImageSize, other.keptSha256);
    for (unsigned i = 0; i < kMaxKeptCopies - 3; ++i) {
        other.keptAt = 100 + i;
        other.fingerprint[0] = uint8_t(i);
        WriteKeptHeader(other, file.data());
        char name[kKeptNameCapacity];
        KeptCopyName(other.keptAt, 0, name, sizeof(name));
        w.folder.files[name] = file;
    }
}

// The medium in the reader as a write reads it: its device and its marks.
KeptCopyHeader MediumOf(World& w) {
    KeptCopyHeader header{};
    header.device = KeptDeviceOf(w.chosen);
    const UntouchedSamples samples = UntouchedSamplesOf(w.Medium().size());
    static uint8_t bytes[kMaxUntouchedSize];
    for (unsigned i = 0, at = 0; i < samples.count; at += samples.sizes[i++])
        memcpy(bytes + at, w.Medium().data() + samples.offsets[i], samples.sizes[i]);
    header.mark = MarkOfSamples(bytes, samples.total, QuickHash, header.fingerprint);
    return header;
}

std::set<std::string> Copies(const World& w) {
    std::set<std::string> names;
    for (const auto& file : w.folder.files)
        if (IsKeptCopyName(file.first.c_str()))
            names.insert(file.first);
    return names;
}

struct Figures {
    unsigned long steps, written, cut, putBack, asked, letGo, faults;
};
Figures g_figures{};

void CutAt(void* context, WritePass pass, uint32_t position, uint32_t) {
    World& w = *static_cast<World*>(context);
    if (pass == WritePass::Write && position >= w.cutChunk * kWriteChunkSize)
        w.model.disks[1].present = false;
}

// A write of an image, or Put back, as the Install pane runs it; "" or what
// went wrong.
std::string Write(World& w, const Step& step, const KeptCopyHeader& medium) {
    static std::vector<uint8_t> before;
    static Aligned kept, readBack;
    uint8_t* tail = kept.bytes + kWriteImageSize;
    before.assign(w.Medium().begin(), w.Medium().begin() + kWriteImageSize);
    // What the pane shows before Start, and the copies it names as going.
    const KeptSurvey survey = SurveyKeptFolder(w.files, medium, before.data(), QuickHash, true);
    std::set<std::string> mayGo;
    for (unsigned i = 0; i < survey.goingCount; ++i)
        mayGo.insert(survey.going[i].name);
    const std::set<std::string> copies = Copies(w);
    KeptCopyHeader header{};
    const Aligned* image = &Image(int(step.op == Op::WriteB));
    bool anyBytes = false;  // the user said a copy that may be another card's goes on this one
    std::string chosen;     // the copy Put back writes
    if (step.op == Op::PutBack) {
        if (!survey.copy.found)
            return "";
        chosen = survey.copy.name;
        if (survey.candidates > 1) {
            // The user picks one of the candidates, or Cancel.
            static PutBackChoice choice;
            ListPutBackChoice(w.files, medium, &choice);
            if (choice.count != std::min(survey.candidates, kMaxKeptCopies) || chosen != choice.rows[0].name)
                return "the chooser does not lead with the newest of the copies that may be the card's";
            for (unsigned i = 0; i < choice.count; ++i)
                if (w.folder.foreign.count(choice.rows[i].name))
                    return std::string("the chooser offers ") + choice.rows[i].name + ", placed by another account";
            ++g_figures.asked;
            const unsigned pick = (step.arg >> 27) % (choice.count + 1);
            if (pick == choice.count)
                return "";
            chosen = choice.rows[pick].name;
            anyBytes = true;
        } else if (survey.copy.header.mark != MediumMark::Fingerprint) {
            ++g_figures.asked;
            if (!((step.arg >> 31) & 1))
                return "";
            anyBytes = true;
        }
        if (!LoadKeptCopy(w.files, chosen.c_str(), QuickHash, &header, kept.data(), tail))
            return "";
        image = &kept;
        mayGo.insert(chosen);
    }
    KeepRequest request{};
    request.files = &w.files;
    request.hash = QuickHash;
    request.startedAt = w.clock += 10;
    request.note = [](const char*) {};
    request.chosen = &w.chosen;
    request.image = image->data();
    request.putBack = step.op == Op::PutBack ? &header : nullptr;
    request.ask = Answer;
    w.answers = step.arg;
    w.asked = 0;
    w.lossAgreed = w.unrecordedAgreed = false;
    ModelDisk& disk = w.model.disks[1];
    disk.refusesWrites = step.end == kNothing ? 112 : 0;
    disk.keepsNothing = step.end == kDiffers;
    w.cutChunk = step.end % kWriteChunkCount;
    const PassProgress cut = step.end >= kCut ? PassProgress{nullptr, CutAt, &w} : PassProgress{};
    const RawWriteRequest raw = {&w.chosen, image->data(), readBack.data(), cut, 2, 0, KeepingFor(&request),
                                 {header.tailOffset, tail, header.tailSize}};
    const RawWriteResult result = RunRawWrite(w.calls, raw);
    disk.present = true;
    disk.refusesWrites = 0;
    disk.keepsNothing = false;
    disk.cache = w.Medium();
    g_figures.asked += w.asked;
    if (result.outcome == RawWriteOutcome::Written) {
        ++(step.op == Op::PutBack ? g_figures.putBack : g_figures.written);
        w.cutPending[ClassOf(w.in)] = false;
        if (step.op == Op::PutBack)
            RemoveKeptCopy(w.files, chosen.c_str());
    } else if (result.wroteAny && !w.unrecordedAgreed) {
        ++g_figures.cut;
        w.cutPending[ClassOf(w.in)] = true;
    }
    g_figures.letGo += survey.goingCount;
    for (const std::string& name : copies)
        if (!w.folder.files.count(name) && !mayGo.count(name))
            return "copy " + name + " was deleted without the Warning that names it";
    // What the card held before the write is in a copy, or the user said it may go.
    for (uint32_t i = 0; i < kWriteChunkCount && !w.lossAgreed; ++i) {
        const size_t at = size_t(i) * kWriteChunkSize;
        if (memcmp(before.data() + at, w.Medium().data() + at, kWriteChunkSize) == 0 ||
            memcmp(before.data() + at, Image(0).data() + at, kWriteChunkSize) == 0 ||
            memcmp(before.data() + at, Image(1).data() + at, kWriteChunkSize) == 0)
            continue;
        bool inCopy = false;
        for (const auto& file : w.folder.files)
            inCopy = inCopy || (IsKeptCopyName(file.first.c_str()) && !w.folder.foreign.count(file.first) &&
                            file.second.size() >= kKeptHeaderSize + kWriteImageSize &&
                            memcmp(file.second.data() + kKeptHeaderSize + at, before.data() + at, kWriteChunkSize) == 0);
        if (!inCopy)
            return "chunk " + std::to_string(i) + " of card " + std::to_string(w.in) + " was overwritten unkept, unasked";
    }
    // Bytes the card never held, other than the image the user chose.
    for (uint32_t i = 0; i < kWriteChunkCount && !anyBytes; ++i) {
        const size_t at = size_t(i) * kWriteChunkSize;
        const bool chosen = step.op != Op::PutBack && memcmp(w.Medium().data() + at, image->data() + at, kWriteChunkSize) == 0;
        if (!chosen && !w.held[w.in][i].count(ChunkDigest(w.Medium().data() + at)))
            return "card " + std::to_string(w.in) + " holds at chunk " + std::to_string(i) + " bytes it never held";
    }
    return "";
}

// A copy of the medium in the reader, newer than any, forged by another
// account: its own bytes and digest, under a copy's name or a part's.
void Plant(World& w, uint32_t what, KeptCopyHeader header) {
    header.keptAt = w.clock + 1000000;
    std::vector<uint8_t> file(kKeptHeaderSize + kWriteImageSize, uint8_t(w.bytes()));
    for (size_t i = kKeptHeaderSize; i < file.size(); i += 512)
        file[i] = uint8_t(w.bytes());
    QuickHash(file.data() + kKeptHeaderSize, kWriteImageSize, header.keptSha256);
    WriteKeptHeader(header, file.data());
    char name[kKeptNameCapacity];
    KeptCopyName(header.keptAt, what % 4, name, sizeof(name));
    const std::string planted = std::string(name) + (what & 1 ? ".part" : "");
    w.folder.files[planted] = file;
    w.folder.foreign.insert(planted);
}

// One step and the oracle's checks after it.
std::string Run(World& w, const Step& step) {
    ++g_figures.steps;
    std::string fault;
    const KeptCopyHeader medium = MediumOf(w);
    switch (step.op) {
        case Op::WriteA:
        case Op::WriteB:
        case Op::PutBack:
            fault = Write(w, step, medium);
            break;
        case Op::Swap:
            w.cards[w.in] = w.Medium();
            w.in = step.arg % kCards;
            w.Medium() = w.model.disks[1].cache = w.cards[w.in];
            break;
        case Op::Save: {
            const size_t at = size_t(step.arg % kWriteChunkCount) * kWriteChunkSize;
            for (size_t i = at; i < at + kWriteChunkSize; i += 64)
                w.Medium()[i] = uint8_t(w.bytes());
            w.model.disks[1].cache = w.Medium();
            break;
        }
        case Op::Fill:
            w.folder.full = !w.folder.full;
            break;
        case Op::Plant:
            Plant(w, step.arg, medium);
            break;
        case Op::Remake:
            w.folder.files.clear();
            w.folder.foreign.clear();
            memset(w.cutPending, 0, sizeof(w.cutPending));
            break;
        case Op::Count:
            break;
    }
    for (uint32_t i = 0; i < kWriteChunkCount; ++i)
        w.held[w.in][i].insert(ChunkDigest(w.Medium().data() + i * kWriteChunkSize));
    if (!fault.empty())
        return fault;
    // Only a write reaches a disk.
    if (step.op <= Op::PutBack && w.model.disks[0].medium != w.system)
        return "the system disk was written";
    if (step.op <= Op::PutBack && memcmp(w.Medium().data() + kWriteImageSize + kMaxKeptTailSize, w.beyond[w.in].data(), w.beyond[w.in].size()))
        return "card " + std::to_string(w.in) + " was written past the image";
    // Started again now, the program says a write to this card was cut short.
    if (w.cutPending[ClassOf(w.in)] && !SurveyKeptFolder(w.files, step.op == Op::Swap ? MediumOf(w) : medium).record.found)
        return "the write cut short on card " + std::to_string(w.in) + " is not offered at the start";
    return "";
}

std::vector<Step> StepsOf(uint64_t seed, unsigned count) {
    std::mt19937_64 random(seed);
    std::vector<Step> steps(count);
    for (Step& step : steps) {
        // Mostly writes and Put back; the folder deleted rarely.
        static const Op ops[] = {Op::WriteA, Op::WriteA, Op::WriteA, Op::WriteB, Op::WriteB, Op::WriteB,
                                 Op::PutBack, Op::PutBack, Op::PutBack, Op::Swap, Op::Swap, Op::Save,
                                 Op::Save, Op::Fill, Op::Plant, Op::Remake};
        step.op = ops[random() % 16];
        if (step.op == Op::Remake && random() % 3 != 0)
            step.op = Op::Swap;
        const uint32_t end = uint32_t(random() % 8);
        step.end = end < kCut ? end : kCut + uint32_t(random() % kWriteChunkCount);
        step.arg = uint32_t(random());
    }
    return steps;
}

// The first fault of `steps` from a fresh start, and after which step.
std::string Replay(const std::vector<Step>& steps, size_t* failedAt) {
    World world;
    g_world = &world;
    Setup(world);
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string fault = Run(world, steps[i]);
        if (!fault.empty())
            return *failedAt = i, fault;
    }
    return "";
}

// Drops steps one at a time while the run still fails.
std::vector<Step> Shrink(std::vector<Step> steps) {
    size_t at = 0;
    Replay(steps, &at);
    steps.resize(at + 1);
    for (size_t i = steps.size(); i-- > 0;) {
        std::vector<Step> fewer = steps;
        fewer.erase(fewer.begin() + long(i));
        size_t failed = 0;
        if (!fewer.empty() && !Replay(fewer, &failed).empty())
            steps.assign(fewer.begin(), fewer.begin() + long(failed) + 1);
    }
    return steps;
}

TEST(KeepSimulation, EveryPromiseHoldsAfterEveryStep) {
    const char* asked = getenv("TDW_SIM_SEEDS");
    const unsigned long seeds = asked != nullptr ? strtoul(asked, nullptr, 10) : 6;
    const char* first = getenv("TDW_SIM_FIRST");
    const unsigned long from = first != nullptr ? strtoul(first, nullptr, 10) : 1;
    for (unsigned long seed = from; seed < from + seeds; ++seed) {
        const std::vector<Step> steps = StepsOf(seed, 40);
        size_t at = 0;
        const std::string fault = Replay(steps, &at);
        if (fault.empty())
            continue;
        ++g_figures.faults;
        std::string shown;
        const std::vector<Step> shortest = Shrink(steps);
        for (const Step& step : shortest)
            shown += "\n  " + Describe(step);
        const std::string last = Replay(shortest, &at);
        ADD_FAILURE() << "seed " << seed << ": " << fault << "\nshortened to " << shortest.size()
                      << " steps (" << last << "):" << shown;
        if (g_figures.faults >= 3)
            break;
    }
    printf("%lu seeds, %lu steps: %lu writes and %lu Put backs read back, %lu cut short, %lu questions, "
           "%lu copies let go, %lu faults\n",
           seeds, g_figures.steps, g_figures.written, g_figures.putBack, g_figures.cut, g_figures.asked,
           g_figures.letGo, g_figures.faults);
}

}  // namespace
