// The kept copies' folder, on a model of the file calls that can fail at
// any step, and which device a copy may go back to.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "keep/folder_trust.h"
#include "keep/keep_step.h"
#include "keep/kept_store.h"
#include "keep/put_back_choice.h"
#include "source/sha256.h"
#include "storage_model.h"

namespace {

struct FolderModel {
    std::map<std::string, std::vector<uint8_t>> files;
    bool failCreate = false;
    bool failRename = false;
    std::set<std::string> foreign;  // owned by another: the program's reads refuse them

    KeptFiles Calls() {
        KeptFiles calls{};
        calls.context = this;
        calls.list = [](void* c, void (*each)(void*, const char*), void* user) -> uint32_t {
            for (const auto& file : static_cast<FolderModel*>(c)->files)
                each(user, file.first.c_str());
            return 0;
        };
        calls.length = [](void* c, const char* name, uint64_t* length) -> uint32_t {
            auto& files = static_cast<FolderModel*>(c)->files;
            if (!files.count(name))
                return 2;
            *length = files[name].size();
            return 0;
        };
        calls.read = [](void* c, const char* name, uint64_t offset, uint8_t* data, uint32_t size,
                        uint32_t* done) -> uint32_t {
            auto& files = static_cast<FolderModel*>(c)->files;
            *done = 0;
            if (static_cast<FolderModel*>(c)->foreign.count(name))
                return 5;  // ERROR_ACCESS_DENIED
            if (!files.count(name) || offset > files[name].size())
                return 2;
            *done = uint32_t(std::min<uint64_t>(size, files[name].size() - offset));
            memcpy(data, files[name].data() + offset, *done);
            return 0;
        };
        calls.create = [](void* c, const char* name, const uint8_t* const* parts, const uint32_t* sizes,
                          unsigned count) -> uint32_t {
            auto* model = static_cast<FolderModel*>(c);
            if (model->failCreate || model->files.count(name))
                return 112;  // ERROR_DISK_FULL
            std::vector<uint8_t>& file = model->files[name];
            for (unsigned i = 0; i < count; ++i)
                file.insert(file.end(), parts[i], parts[i] + sizes[i]);
            return 0;
        };
        calls.rename = [](void* c, const char* from, const char* to) -> uint32_t {
            auto* model = static_cast<FolderModel*>(c);
            if (model->failRename || !model->files.count(from) || model->files.count(to))
                return 5;
            model->files[to] = std::move(model->files[from]);
            model->files.erase(from);
            return 0;
        };
        calls.replace = [](void* c, const char* from, const char* to) -> uint32_t {
            auto& files = static_cast<FolderModel*>(c)->files;
            if (!files.count(from))
                return 2;
            files[to] = std::move(files[from]);
            files.erase(from);
            return 0;
        };
        calls.remove = [](void* c, const char* name) -> uint32_t {
            return static_cast<FolderModel*>(c)->files.erase(name) ? 0 : 2;
        };
        calls.update = [](void* c, const char* name, uint64_t offset, const uint8_t* data, uint32_t size) -> uint32_t {
            auto& files = static_cast<FolderModel*>(c)->files;
            if (!files.count(name) || offset + size > files[name].size())
                return 2;
            memcpy(files[name].data() + offset, data, size);
            return 0;
        };
        return calls;
    }
};

bool Sha256(const uint8_t* data, uint32_t size, uint8_t digest[32]) {
    Sha256Digest result;
    return Sha256Of(data, size, &result) && memcpy(digest, result.bytes, 32) != nullptr;
}

KeptDevice Stick(const char* serial, uint32_t disk = 1) {
    KeptDevice device{};
    device.letter = 'E';
    snprintf(device.volume, sizeof(device.volume), "\\\\?\\Volume{5717c000-%u}\\", disk);
    device.diskKnown = true;
    device.diskNumber = disk;
    device.diskLength = 4 << 20;
    snprintf(device.vendor, sizeof(device.vendor), "Vendor");
    snprintf(device.product, sizeof(device.product), "Stick");
    snprintf(device.serial, sizeof(device.serial), "%s", serial);
    return device;
}

// A copy's header; `fingerprint` 0 leaves the medium untold, -1 makes it a
// diskette's.
KeptCopyHeader HeaderFor(const KeptDevice& device, uint64_t keptAt, const std::vector<uint8_t>& kept,
                         int fingerprint = 0) {
    KeptCopyHeader header{};
    header.device = device;
    header.keptAt = keptAt;
    header.mark = fingerprint == 0 ? MediumMark::Untold
                  : fingerprint < 0 ? MediumMark::NoneToTake
                                    : MediumMark::Fingerprint;
    header.fingerprint[0] = uint8_t(fingerprint > 0 ? fingerprint : 0);
    Sha256(kept.data(), uint32_t(kept.size()), header.keptSha256);
    return header;
}

KeptCopyHeader On(const KeptDevice& device, int fingerprint = 0) {
    return HeaderFor(device, 0, {}, fingerprint);
}

KeepOutcome Keep(const KeptFiles& files, const KeptCopyHeader& header, const std::vector<uint8_t>& kept,
                 const std::vector<uint8_t>& image) {
    return KeepCopy(files, header, kept.data(), nullptr, image.data(), Sha256).outcome;
}

TEST(KeptCopy, OnlyTheFirstContentsAreKeptAndOnlyWholeCopiesCount) {
    FolderModel folder;
    const KeptFiles files = folder.Calls();
    const std::vector<uint8_t> first(kWriteImageSize, 0x41), second(kWriteImageSize, 0x42),
        third(kWriteImageSize, 0x43);

    // `first` is the user's, `second` the image written over it.
    KeptCopyHeader firstKeep = HeaderFor(Stick("A1"), 100, first);
    // A keep that stops before its rename leaves nothing that looks whole.
    folder.failRename = true;
    EXPECT_EQ(Keep(files, firstKeep, first, second), KeepOutcome::NotKept);
    EXPECT_TRUE(folder.files.empty());
    folder.failRename = false;
    folder.files["kept-0000000000000064.tdwcopy.part"] = first;  // a crash between write and rename
    EXPECT_FALSE(FindKeptCopy(files, On(Stick("A1"))).found);

    ASSERT_EQ(Keep(files, firstKeep, first, second), KeepOutcome::Kept);
    EXPECT_EQ(folder.files.size(), 1u) << "the leftover of the crash is gone";
    // Only a write read back makes the copy name its image; another image
    // over that one then never replaces the user's contents.
    KeptCopyHeader written = On(Stick("A1"));
    Sha256(second.data(), kWriteImageSize, written.imageSha256);
    EndWrite(files, written, false);
    EXPECT_EQ(FindKeptCopy(files, On(Stick("A1"))).header.imageSha256[0], 0) << "a write not read back was recorded";
    EndWrite(files, written, true);
    EXPECT_EQ(Keep(files, HeaderFor(Stick("A1"), 200, second), second, third), KeepOutcome::OwnImage);
    const KeptCopyFound found = FindKeptCopy(files, On(Stick("A1")));
    EXPECT_EQ(memcmp(found.header.imageSha256, written.imageSha256, 32), 0);
    ASSERT_TRUE(found.found);
    KeptCopyHeader header;
    std::vector<uint8_t> kept(kWriteImageSize), tail(kMaxKeptTailSize);
    ASSERT_TRUE(LoadKeptCopy(files, found.name, Sha256, &header, kept.data(), tail.data()));
    EXPECT_EQ(kept, first);

    // A copy changed on disk is never put back; a cut one is not even offered.
    folder.files[found.name][kKeptHeaderSize + 7] ^= 1;
    EXPECT_FALSE(LoadKeptCopy(files, found.name, Sha256, &header, kept.data(), tail.data()));
    folder.files[found.name].resize(kKeptHeaderSize + 512);
    EXPECT_FALSE(FindKeptCopy(files, On(Stick("A1"))).found);

    // A whole copy that the power cut off before its rename is a copy again.
    std::vector<uint8_t>& part = folder.files["kept-000000000000012c.tdwcopy.part"];
    part.resize(kKeptHeaderSize);
    WriteKeptHeader(HeaderFor(Stick("B2"), 300, third), part.data());
    part.insert(part.end(), third.begin(), third.end());
    EXPECT_EQ(Keep(files, HeaderFor(Stick("C3"), 400, first), first, second), KeepOutcome::Kept);
    EXPECT_TRUE(FindKeptCopy(files, On(Stick("B2"))).found);
}

// Only a folder that no one else may change, and only files of SYSTEM, the
// Administrators or this process, are the copies' (Well-known SIDs; File
// Access Rights Constants; a NULL DACL grants everyone full access).
TEST(KeptCopy, OnlyOurOwnFolderAndFilesAreTrusted) {
    using P = Principal;
    const AccessEntry system{P::System, true, 0x1F01FF}, admins{P::Administrators, true, 0x1F01FF},
        self{P::Self, true, 0x1F01FF}, everyoneReads{P::Other, true, 0x1200A9}, usersAdd{P::Other, true, 0x2},
        othersDenied{P::Other, false, 0x1F01FF};
    const struct {
        const char* name;
        P owner;
        bool dacl;
        std::vector<AccessEntry> entries;
        bool trusted;
    } rows[] = {
        {"made by this program", P::Administrators, true, {system, admins}, true},
        {"as Wine reports its own", P::Self, true, {system, self, everyoneReads}, true},
        {"made first by another user", P::Other, true, {system, admins}, false},
        {"standard users may add files", P::Administrators, true, {system, admins, usersAdd}, false},
        {"a deny does not undo a grant", P::System, true, {othersDenied, usersAdd}, false},
        {"no DACL at all", P::System, false, {}, false},
    };
    for (const auto& row : rows) {
        FolderSecurity folder{row.owner, row.dacl, {}, unsigned(row.entries.size()), false};
        std::copy(row.entries.begin(), row.entries.end(), folder.entries);
        EXPECT_EQ(IsTrustedFolder(folder), row.trusted) << row.name;
    }

    // Whatever stands at the folder's name and is not ours is set aside, and
    // the Warning says what it was (FILE_ATTRIBUTE_REPARSE_POINT; an owner
    // may always change the DACL).
    using F = FolderFinding;
    const FolderSecurity ours{P::Administrators, true, {system, admins}, 2, false},
        othersOwn{P::Other, true, {othersDenied}, 1, false}, openToUsers{P::System, true, {usersAdd}, 1, false};
    const struct {
        FoundAtName found;
        F finding;
    } names[] = {
        {{true, true, false, true, ours}, F::Ours},
        {{true, true, false, true, othersOwn}, F::OtherOwner},  // a user's, closed to the Administrators
        {{true, true, false, true, openToUsers}, F::OpenToOthers},
        {{true, false, false, false, {}}, F::File},
        {{true, true, true, false, {}}, F::Link},
        {{true, true, false, false, {}}, F::Unreadable},
        {{false, false, false, false, {}}, F::Unreadable},
    };
    for (const auto& row : names)
        EXPECT_EQ(JudgeFoundAtName(row.found), row.finding) << int(row.finding);

    // A file is used only as itself: no link, no second name, not elsewhere.
    const struct {
        KeptFileFacts facts;
        bool sound;
    } kept[] = {
        {{false, false, 1, true, P::Administrators}, true},
        {{false, false, 1, true, P::Self}, true},
        {{true, false, 1, true, P::Administrators}, false},
        {{false, true, 1, true, P::Administrators}, false},
        {{false, false, 2, true, P::Administrators}, false},
        {{false, false, 1, false, P::Administrators}, false},
        {{false, false, 1, true, P::Other}, false},
    };
    for (const auto& row : kept)
        EXPECT_EQ(IsSoundKeptFile(row.facts), row.sound);

    // A copy that names no medium fits none of its device's.
    KeptCopyHeader unnamed = On(Stick("A1"));
    unnamed.mark = MediumMark::Unknown;
    EXPECT_FALSE(IsKeptMedium(unnamed, unnamed));

    // A copy planted by another, newer and of the same medium, is never offered.
    FolderModel model;
    const KeptFiles files = model.Calls();
    const std::vector<uint8_t> bytes(kWriteImageSize, 0x55);
    ASSERT_EQ(Keep(files, HeaderFor(Stick("A1"), 100, bytes), bytes, bytes), KeepOutcome::Kept);
    uint8_t header[kKeptHeaderSize];
    WriteKeptHeader(HeaderFor(Stick("A1"), 900, bytes), header);
    std::vector<uint8_t>& planted = model.files["kept-0000000000000384.tdwcopy"];
    planted.assign(header, header + kKeptHeaderSize);
    planted.insert(planted.end(), bytes.begin(), bytes.end());
    model.foreign.insert("kept-0000000000000384.tdwcopy");
    EXPECT_EQ(FindKeptCopy(files, On(Stick("A1"))).header.keptAt, 100u);
    EXPECT_FALSE(IsTrustedOwner(P::Other));
}

TEST(KeptCopy, TheOldestGoesPastTwenty) {
    FolderModel folder;
    const KeptFiles files = folder.Calls();
    const std::vector<uint8_t> bytes(kWriteImageSize, 0x55);
    for (unsigned i = 0; i <= kMaxKeptCopies; ++i) {
        const std::string serial = "S" + std::to_string(i);
        if (i == kMaxKeptCopies) {  // the Install pane says which copy the next one lets go
            const KeptSurvey survey = SurveyKeptFolder(files, On(Stick(serial.c_str())));
            EXPECT_EQ(survey.copies, kMaxKeptCopies);
            EXPECT_STREQ(survey.oldest.header.device.serial, "S0");
        }
        const KeptCopyHeader header = HeaderFor(Stick(serial.c_str()), 1000 + i, bytes);
        const KeepResult kept = KeepCopy(files, header, bytes.data(), nullptr, bytes.data(), Sha256);
        ASSERT_EQ(kept.outcome, KeepOutcome::Kept);
        EXPECT_EQ(folder.files.size(), i + 1) << "a copy went before the write was read back";
        EndWrite(files, header, true, kept.name);
    }
    EXPECT_EQ(folder.files.size(), kMaxKeptCopies);
    EXPECT_FALSE(FindKeptCopy(files, On(Stick("S0"))).found);
    EXPECT_TRUE(FindKeptCopy(files, On(Stick("S1"))).found);
    EXPECT_TRUE(FindKeptCopy(files, On(Stick("S20"))).found);
}

TEST(KeptCopy, ACopyGoesBackOnlyToItsOwnDevice) {
    KeptDevice noSerial = Stick("");
    KeptDevice wine = noSerial;
    wine.diskKnown = false;
    struct Row {
        const char* name;
        KeptDevice kept, now;
        bool same;
    };
    KeptDevice replugged = Stick("A1", 3);
    replugged.letter = 'F';
    KeptDevice bigger = Stick("A1");
    bigger.diskLength *= 2;
    KeptDevice otherLetter = noSerial;
    otherLetter.letter = 'F';
    KeptDevice otherVolume = wine;
    otherVolume.volume[10] = 'X';
    const Row rows[] = {
        {"same stick, plugged in again elsewhere", Stick("A1"), replugged, true},
        {"another stick of the same make", Stick("A1"), Stick("A2"), false},
        {"a serial that Windows no longer gives", Stick("A1"), noSerial, false},
        {"same serial, another size", Stick("A1"), bigger, false},
        {"no serial, same disk and letter", noSerial, noSerial, true},
        {"no serial, another disk", noSerial, Stick("", 2), false},
        {"no serial, another letter", noSerial, otherLetter, false},
        {"no disk known, same volume", wine, wine, true},
        {"no disk known, another volume", wine, otherVolume, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(IsKeptDevice(row.kept, row.now), row.same) << row.name;
}

TEST(KeptCopy, AHeaderIsReadOnlyWhenItHoldsTogether) {
    KeptCopyHeader header = HeaderFor(Stick("A1"), 7, std::vector<uint8_t>(16));
    header.tailOffset = (4 << 20) - 512;
    header.tailSize = 512;
    uint8_t bytes[kKeptHeaderSize];
    WriteKeptHeader(header, bytes);
    KeptCopyHeader read;
    ASSERT_TRUE(ReadKeptHeader(bytes, sizeof(bytes), &read));
    EXPECT_STREQ(read.device.serial, "A1");
    EXPECT_EQ(read.tailOffset, header.tailOffset);

    const auto refused = [&](void (*spoil)(KeptCopyHeader*, uint8_t*)) {
        KeptCopyHeader copy = header;
        uint8_t spoilt[kKeptHeaderSize];
        WriteKeptHeader(copy, spoilt);
        spoil(&copy, spoilt);
        return !ReadKeptHeader(spoilt, sizeof(spoilt), &read);
    };
    EXPECT_TRUE(refused([](KeptCopyHeader*, uint8_t* b) { b[0] = 'X'; }));
    EXPECT_TRUE(refused([](KeptCopyHeader* h, uint8_t* b) {  // a tail inside the image
        h->tailOffset = 512;
        WriteKeptHeader(*h, b);
    }));
    EXPECT_TRUE(refused([](KeptCopyHeader* h, uint8_t* b) {  // a tail larger than any sector
        h->tailSize = 1 << 20;
        WriteKeptHeader(*h, b);
    }));
    EXPECT_TRUE(refused([](KeptCopyHeader*, uint8_t* b) { memset(b + 176, 'v', 64); }));  // an unended text
}


KeepRequest Request(const KeptFiles* files, const TargetIdentity* chosen, const SectorBytes& image,
                    const KeptCopyHeader* putBack, uint64_t at) {
    KeepRequest request{};
    request.files = files;
    request.hash = Sha256;
    request.startedAt = at;
    request.note = [](const char*) {};
    request.chosen = chosen;
    request.image = image.data();
    request.putBack = putBack;
    return request;
}

// A stick (E:) on the storage model and an empty folder of copies.
class KeptCopyOnStick : public ::testing::Test {
protected:
    FolderModel folder;
    KeptFiles files = folder.Calls();
    StorageModel model = SystemOnly();
    StorageCalls calls{};
    TargetIdentity chosen{};
    void SetUp() override {
        AddStick(&model, "superfloppy", 'E');
        calls = model.Calls();
        chosen = IdentifyTarget(calls, 'E');
    }
};

// The write path's keep step on a stick model: two cards behind one device
// identity, a second image over our own, Put back on the wrong card and on
// its own, twice, and a write that stops after a few chunks.
TEST_F(KeptCopyOnStick, EachMediumKeepsItsOwnCopyAndGetsOnlyItBack) {
    SectorBytes first(kWriteImageSize, 0xE1), second(kWriteImageSize, 0xE2), readBack(kWriteImageSize);
    const std::vector<uint8_t> cardA = model.disks[1].medium;
    std::vector<uint8_t> cardB = cardA;
    for (size_t i = 0; i < cardB.size(); i += 4096)
        cardB[i] ^= 0x5A;  // its own bytes, before the image's end and past it
    const auto insert = [&](const std::vector<uint8_t>& card) { model.disks[1].medium = model.disks[1].cache = card; };
    const auto write = [&](const SectorBytes& image, const KeptCopyHeader* putBack, uint64_t at,
                           PassProgress progress = {}) {
        KeepRequest request = Request(&files, &chosen, image, putBack, at);
        const RawWriteRequest raw = {&chosen,  image.data(), readBack.data(), progress, 50, 100, KeepingFor(&request),
                                     {}};
        return std::make_pair(RunRawWrite(calls, raw).outcome, request);
    };
    const auto copies = [&] { return std::count_if(folder.files.begin(), folder.files.end(), [](const auto& f) {
                                  return IsKeptCopyName(f.first.c_str());
                              }); };

    const auto [a1, onA] = write(first, nullptr, 100);
    ASSERT_EQ(a1, RawWriteOutcome::Written);
    ASSERT_EQ(onA.medium.mark, MediumMark::Fingerprint);
    insert(cardB);
    const auto [b1, onB] = write(first, nullptr, 200);
    EXPECT_EQ(b1, RawWriteOutcome::Written);
    EXPECT_EQ(copies(), 2) << "card B was written with nothing of it kept";
    // Another image over our own keeps nothing new, and the copy knows it.
    EXPECT_EQ(write(second, nullptr, 300).first, RawWriteOutcome::Written);
    EXPECT_EQ(copies(), 2);
    const KeptCopyFound copyB = FindKeptCopy(files, onB.medium);
    uint8_t firstSector[32];
    Sha256(second.data(), 512, firstSector);
    EXPECT_EQ(memcmp(copyB.header.firstSectorSha256, firstSector, 32), 0) << "the drive would seem changed since";
    EXPECT_TRUE(folder.files.count("writing-000000000000012c.tdwmark") == 0) << "the record outlived the read-back";

    // Card A's copy is never written over card B.
    const KeptCopyFound copyA = FindKeptCopy(files, onA.medium);
    ASSERT_TRUE(copyA.found && strcmp(copyA.name, copyB.name) != 0);
    SectorBytes kept(kWriteImageSize), tail(kMaxKeptTailSize);
    KeptCopyHeader header;
    ASSERT_TRUE(LoadKeptCopy(files, copyA.name, Sha256, &header, kept.data(), tail.data()));
    const std::vector<uint8_t> bBefore = model.disks[1].medium;
    EXPECT_EQ(write(kept, &header, 400).first, RawWriteOutcome::NotThisMedium);
    EXPECT_EQ(model.disks[1].medium, bBefore);
    // Card A back, with other bytes than the image written on it: what was
    // saved on it since is overwritten only when the user says so.
    const auto cardAWith = [&](const SectorBytes& image) {
        std::vector<uint8_t> card = cardA;
        std::copy(image.begin(), image.end(), card.begin());
        insert(card);
    };
    cardAWith(second);
    EXPECT_EQ(write(kept, &header, 450).first, RawWriteOutcome::Declined);
    EXPECT_EQ(SectorBytes(model.disks[1].medium.begin(), model.disks[1].medium.begin() + kWriteImageSize),
              second);
    cardAWith(first);
    EXPECT_EQ(write(kept, &header, 500).first, RawWriteOutcome::Written);
    EXPECT_EQ(model.disks[1].medium, cardA);
    ASSERT_TRUE(RemoveKeptCopy(files, copyA.name));
    EXPECT_FALSE(FindKeptCopy(files, onA.medium).found) << "Put back offered twice";

    // A write stopped after 40 chunks leaves its record; the next start finds it.
    auto stop = [](void* m, WritePass pass, uint32_t position, uint32_t) {
        if (pass == WritePass::Write && position >= 40 * kWriteChunkSize)
            static_cast<StorageModel*>(m)->disks[1].present = false;
    };
    EXPECT_NE(write(first, nullptr, 600, PassProgress{nullptr, stop, &model}).first, RawWriteOutcome::Written);
    model.disks[1].present = true;
    EXPECT_TRUE(FindWriteRecord(files, onA.medium).found);
    EXPECT_FALSE(FindWriteRecord(files, onB.medium).found);
    const KeptCopyFound cut = FindKeptCopy(files, onA.medium);
    uint8_t none[32] = {};
    EXPECT_EQ(memcmp(cut.header.imageSha256, none, 32), 0) << "a write not read back named its image";
    // Written again over what the cut left, nothing new is kept, and Put
    // back still returns the card as it was before both writes, unasked.
    const auto before = copies();
    EXPECT_EQ(write(first, nullptr, 700).first, RawWriteOutcome::Written);
    EXPECT_EQ(copies(), before);
    ASSERT_TRUE(LoadKeptCopy(files, cut.name, Sha256, &header, kept.data(), tail.data()));
    EXPECT_EQ(write(kept, &header, 800).first, RawWriteOutcome::Written);
    EXPECT_EQ(model.disks[1].medium, cardA);

    // A first chunk refused whole changed nothing: no record says it was cut short.
    model.disks[1].refusesWrites = 112;  // ERROR_DISK_FULL
    EXPECT_NE(write(first, nullptr, 900).first, RawWriteOutcome::Written);
    EXPECT_FALSE(FindWriteRecord(files, onA.medium).found);
}

// No copy could be kept: the write goes on only when the user says Yes to a
// question that says why, and never onto a disk that calls itself fixed.
TEST_F(KeptCopyOnStick, NoWriteGoesOnUnkeptWithoutAsking) {
    folder.failCreate = true;  // the disk of the copies is full
    const SectorBytes image(kWriteImageSize, 0x77);
    SectorBytes readBack(kWriteImageSize);
    const std::vector<uint8_t> before = model.disks[1].medium;
    static bool answer;
    static std::vector<KeepQuestion> asked;
    const struct { bool fixed, answer; RawWriteOutcome outcome; } rows[] = {
        {false, false, RawWriteOutcome::Declined},
        {true, true, RawWriteOutcome::Declined},
        {false, true, RawWriteOutcome::Written},
    };
    for (const auto& row : rows) {
        KeepRequest request = Request(&files, &chosen, image, nullptr, 100);
        request.fixedDisk = row.fixed;
        answer = row.answer;
        asked.clear();
        request.ask = [](const KeepRequest&, KeepQuestion question, uint64_t) {
            return asked.push_back(question), answer;
        };
        const RawWriteRequest raw = {&chosen, image.data(), readBack.data(), {}, 50, 100, KeepingFor(&request), {}};
        EXPECT_EQ(RunRawWrite(calls, raw).outcome, row.outcome) << row.fixed << row.answer;
        // Nor without its record: cut short, it would never be found again.
        const std::vector<KeepQuestion> questions =
            row.answer && !row.fixed ? std::vector{KeepQuestion::NoSpace, KeepQuestion::NotRecorded}
                                     : std::vector{KeepQuestion::NoSpace};
        EXPECT_EQ(asked, questions);
        if (row.outcome != RawWriteOutcome::Written) {
            EXPECT_EQ(model.disks[1].medium, before);
        }
    }
    EXPECT_TRUE(folder.files.empty());
}

// Twenty fresh cards, blank past the image, written one after another in one
// reader: no copy names one card, so every one may be card 1's and Put back
// asks; a card with files past the image is told apart.
TEST_F(KeptCopyOnStick, BlankCardsAreNeverToldApartSilently) {
    const SectorBytes image(kWriteImageSize, 0x33);
    SectorBytes readBack(kWriteImageSize);
    KeepRequest request{};
    for (unsigned card = 1; card <= kMaxKeptCopies; ++card) {
        std::vector<uint8_t> medium(kModelDiskBytes, 0);
        std::fill(medium.begin(), medium.begin() + kWriteImageSize, uint8_t(card));
        model.disks[1].medium = model.disks[1].cache = medium;
        request = Request(&files, &chosen, image, nullptr, 100 * card);
        const RawWriteRequest raw = {&chosen, image.data(), readBack.data(), {}, 50, 100, KeepingFor(&request), {}};
        ASSERT_EQ(RunRawWrite(calls, raw).outcome, RawWriteOutcome::Written);
        ASSERT_EQ(request.medium.mark, MediumMark::Blank);
    }
    EXPECT_EQ(SurveyKeptFolder(files, request.medium).candidates, kMaxKeptCopies);
    KeptCopyHeader withFiles = request.medium;
    withFiles.mark = MediumMark::Fingerprint;
    EXPECT_EQ(SurveyKeptFolder(files, withFiles).candidates, 0u);
}

// Where a medium's fingerprint is sampled, and what the samples say.
TEST(KeptCopy, AFingerprintIsSampledOverTheWholeMedium) {
    const struct { uint64_t length; unsigned count; uint32_t total; } rows[] = {
        {0, 0, 0},                                                  // length not known
        {kWriteImageSize + 4096, 0, 0},                             // a diskette
        {2 << 20, 10, (2 << 20) - kWriteImageSize - 4096},          // a small stick: all past the image
        {32000000000ull, kUntouchedPieces, kMaxUntouchedSize},      // a 32 GB card: pieces up to its end
    };
    for (const auto& row : rows) {
        const UntouchedSamples samples = UntouchedSamplesOf(row.length);
        EXPECT_EQ(samples.count, row.count) << row.length;
        EXPECT_EQ(samples.total, row.total) << row.length;
        for (unsigned i = 0; i < samples.count; ++i) {
            EXPECT_EQ(samples.offsets[i] % 4096, 0u);
            EXPECT_GE(samples.offsets[i], kWriteImageSize);
            EXPECT_LE(samples.offsets[i] + samples.sizes[i], row.length - 4096);
        }
        if (samples.count == kUntouchedPieces)
            EXPECT_GT(samples.offsets[kUntouchedPieces - 1], row.length - row.length / 8) << "not spread to the end";
    }
    std::vector<uint8_t> bytes(kUntouchedPieceSize, 0xFF);
    uint8_t fingerprint[32];
    EXPECT_EQ(MarkOfSamples(bytes.data(), uint32_t(bytes.size()), Sha256, fingerprint), MediumMark::Blank);
    bytes[40000] = 0;
    EXPECT_EQ(MarkOfSamples(bytes.data(), uint32_t(bytes.size()), Sha256, fingerprint), MediumMark::Fingerprint);
}

// A diskette is all image: its copy has no fingerprint and fits any diskette.
TEST(KeptCopy, ADisketteIsKeptWithoutAFingerprint) {
    FolderModel folder;
    const KeptFiles files = folder.Calls();
    StorageModel model = SystemOnly();
    ModelVolume floppy;
    floppy.name = "\\\\?\\Volume{f1000000-0000-0000-0000-000000000000}\\";
    floppy.letters = "A";
    floppy.length = floppy.fileSystemSize = kWriteImageSize;
    model.volumes.push_back(floppy);
    model.disketteMedium.assign(kWriteImageSize, 0xF6);
    const StorageCalls calls = model.Calls();
    const TargetIdentity chosen = IdentifyTarget(calls, 'A');
    SectorBytes image(kWriteImageSize, 0x33), readBack(kWriteImageSize);
    KeepRequest request = Request(&files, &chosen, image, nullptr, 100);
    const RawWriteRequest raw = {&chosen, image.data(), readBack.data(), {}, 50, 100, KeepingFor(&request), {}};
    ASSERT_EQ(RunRawWrite(calls, raw).outcome, RawWriteOutcome::Written);
    EXPECT_TRUE(request.kept);
    const KeptCopyFound found = FindKeptCopy(files, request.medium);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.header.mark, MediumMark::NoneToTake);
    KeptCopyHeader stick = request.medium;
    stick.mark = MediumMark::Fingerprint;
    EXPECT_FALSE(IsKeptMedium(found.header, stick));
}

}  // namespace

namespace {

// Little-endian values of `size` bytes at `at`.
void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

// Kept bytes holding a FAT volume at `start` (FAT32 when `fat32`): its boot
// sector's label, and `rootLabel` in its root folder after a long name's.
std::vector<uint8_t> FatVolume(uint32_t start, bool fat32, const char* bootLabel, const char* rootLabel) {
    std::vector<uint8_t> bytes(kWriteImageSize, 0);
    uint8_t* boot = bytes.data() + start;
    boot[0] = 0xEB, boot[0x0D] = fat32 ? 8 : 1, boot[0x10] = 2, boot[510] = 0x55, boot[511] = 0xAA;
    for (const auto& [at, value, size] : {std::tuple{0x0B, 512u, 2u}, {0x0E, fat32 ? 32u : 1u, 2u},
                                          {0x11, fat32 ? 0u : 224u, 2u}, {0x16, fat32 ? 0u : 9u, 2u},
                                          {0x24, fat32 ? 100u : 0u, 4u}, {0x2C, fat32 ? 2u : 0u, 4u}})
        Put(bytes, start + at, value, size);
    boot[fat32 ? 0x42 : 0x26] = 0x29;
    memcpy(boot + (fat32 ? 0x47 : 0x2B), bootLabel, 11);
    uint8_t* root = boot + (fat32 ? 32 + 200 : 1 + 18) * 512;
    root[0] = 0x41, root[11] = 0x0F;
    if (rootLabel != nullptr)
        memcpy(root + 32, rootLabel, 11), root[32 + 11] = 0x28;
    return bytes;
}

}  // namespace

// Put back's chooser: every copy that may be the medium's, the newest first,
// each with its drive, its medium's size and the label its volume had.
TEST(KeptCopy, TheChooserOffersEveryCandidateNewestFirst) {
    std::vector<uint8_t> mbr = FatVolume(65536, false, "NO NAME    ", "PHOTOS     ");
    mbr[0] = 0, mbr[510] = 0x55, mbr[511] = 0xAA, mbr[0x1BE + 4] = 0x06;
    Put(mbr, 0x1BE + 8, 128, 4);
    std::vector<uint8_t> garbage(kWriteImageSize, 0x5A);
    const struct { const char* name; std::vector<uint8_t> bytes; const char* label; } rows[] = {
        {"diskette", FatVolume(0, false, "BOOT LABEL ", "CARD ONE   "), "CARD ONE"},
        {"boot sector's only", FatVolume(0, false, "BOOTLBL    ", nullptr), "BOOTLBL"},
        {"no name", FatVolume(0, false, "NO NAME    ", nullptr), ""},
        {"first partition", mbr, "PHOTOS"},
        {"FAT32", FatVolume(0, true, "NO NAME    ", "BIG CARD   "), "BIG CARD"},
        {"no file system", garbage, ""},
    };
    FolderModel folder;
    const KeptFiles files = folder.Calls();
    const unsigned count = sizeof(rows) / sizeof(rows[0]);
    const std::vector<uint8_t> image(kWriteImageSize, 0x11);
    for (unsigned i = 0; i < count; ++i)
        ASSERT_EQ(Keep(files, HeaderFor(Stick(""), 100 + i, rows[i].bytes), rows[i].bytes, image), KeepOutcome::Kept);
    ASSERT_EQ(Keep(files, HeaderFor(Stick("other"), 900, garbage), garbage, image), KeepOutcome::Kept);
    PutBackChoice choice;
    ListPutBackChoice(files, On(Stick("")), &choice);
    ASSERT_EQ(choice.count, count);
    EXPECT_STREQ(choice.rows[0].name, FindKeptCopy(files, On(Stick(""))).name) << "not led by the one offered";
    for (unsigned i = 0; i < count; ++i) {
        const PutBackCandidate& row = choice.rows[count - 1 - i];
        EXPECT_TRUE(row.keptAt == 100u + i && row.letter == 'E' && strcmp(row.size, "4 MB") == 0) << rows[i].name;
        EXPECT_STREQ(row.label, rows[i].label) << rows[i].name;
    }
    char text[16];
    for (const auto& [bytes, size] : {std::pair<uint64_t, const char*>{0, ""}, {kWriteImageSize, "1.44 MB"},
                                      {2 << 20, "2 MB"}, {31914983424ull, "32 GB"}})
        EXPECT_STREQ((MediumSizeText(bytes, text, sizeof(text)), text), size);
}
