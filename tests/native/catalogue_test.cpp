#include "text/catalogue.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <fstream>
#include <regex>
#include <map>
#include <string>
#include <vector>

namespace {

// String-table blocks keyed by (language, block number), built from plain texts.
struct FakeCatalogue {
    std::map<std::pair<uint16_t, unsigned>, std::vector<uint16_t>> blocks;

    // Sets entry `id` in language `language`, creating its block (16 empty
    // entries). As in a resource string table, id N is entry N % 16 of block
    // N / 16 + 1.
    void Set(uint16_t language, unsigned id, const std::u16string& text)
    {
        std::vector<std::u16string> entries(16);
        auto key = std::make_pair(language, id / 16 + 1);
        auto found = blocks.find(key);
        if (found != blocks.end()) {
            size_t at = 0;
            for (auto& entry : entries) {
                const uint16_t length = found->second[at];
                entry.assign(found->second.begin() + at + 1, found->second.begin() + at + 1 + length);
                at += 1 + length;
            }
        }
        entries[id % 16] = text;
        std::vector<uint16_t> units;
        for (const auto& entry : entries) {
            units.push_back(static_cast<uint16_t>(entry.size()));
            units.insert(units.end(), entry.begin(), entry.end());
        }
        blocks[key] = units;
    }

    static CatalogueBlock Find(uint16_t language, unsigned blockNumber, void* context)
    {
        auto* self = static_cast<FakeCatalogue*>(context);
        auto found = self->blocks.find({language, blockNumber});
        if (found == self->blocks.end())
            return {nullptr, 0};
        return {found->second.data(), found->second.size()};
    }

    // Like a UTF-8 code page: U+00B7 takes two bytes, so byte and unit counts differ.
    static size_t Convert(const uint16_t* units, size_t count, char* out, size_t outSize, void*)
    {
        size_t written = 0;
        for (size_t i = 0; i < count; ++i) {
            const bool wide = units[i] >= 0x80;
            if (written + (wide ? 2 : 1) > outSize)
                return 0;
            if (wide) {
                out[written++] = static_cast<char>(0xC0 | (units[i] >> 6));
                out[written++] = static_cast<char>(0x80 | (units[i] & 0x3F));
            } else {
                out[written++] = static_cast<char>(units[i]);
            }
        }
        return written;
    }

    CatalogueSource Source() { return {Find, Convert, this}; }
};

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue.Set(0x409, 1, u"TalvixOS Disk Writer");
        catalogue.Set(0x409, 3005, u"[%s] support for ZIP files is missing in this version.");
        catalogue.Set(0x409, 4002, u"USB device (%.1s) will be restarted.");
        catalogue.Set(0x409, 4004, u"%d: Can't write to disk.");
        catalogue.Set(0x409, 106, u"\u00B7\u00B7\u00B7");
        catalogue.Set(0x409, 110, u"Compatible USB \r\ndevices");
        catalogue.Set(0x409, 113, u"Reboot");
        catalogue.Set(0x413, 1, u"TalvixOS Disk Writer (TalvixOS Schijf Schrijver)");
    }

    std::string Lookup(uint16_t language, unsigned id, ...)
    {
        va_list args;
        va_start(args, id);
        const char* text = FormatCatalogueText(catalogue.Source(), language, id, {format.data(), result.data()}, args);
        va_end(args);
        return text;
    }

    FakeCatalogue catalogue;
    std::vector<char> format = std::vector<char>(kTextBufferSize, 'x');
    std::vector<char> result = std::vector<char>(kTextBufferSize, 'x');
};

TEST_F(CatalogueTest, PicksTheLanguageAndTellsAbsentBlocksFromAbsentEntries)
{
    EXPECT_EQ(Lookup(0x09, 1), "TalvixOS Disk Writer");
    EXPECT_EQ(Lookup(0x13, 1), "TalvixOS Disk Writer (TalvixOS Schijf Schrijver)");
    // Placeholder mode, and a language with no texts at all.
    EXPECT_EQ(Lookup(0, 1), "...");
    EXPECT_EQ(Lookup(0x07, 1), "...");
    // Entry 3006 shares a block with 3005; 112 with 113; 50 has no block.
    EXPECT_EQ(Lookup(0x09, 3006), "");
    EXPECT_EQ(Lookup(0x09, 112), "");
    EXPECT_EQ(Lookup(0x09, 50), "...");
    // Dutch has block 0 but not the block of 3005.
    EXPECT_EQ(Lookup(0x13, 5), "");
    EXPECT_EQ(Lookup(0x13, 3005, "x"), "...");
}

TEST_F(CatalogueTest, FormatsArguments)
{
    EXPECT_EQ(Lookup(0x09, 4002, "E:\\"), "USB device (E) will be restarted.");
    EXPECT_EQ(Lookup(0x09, 4004, 4004), "4004: Can't write to disk.");
    EXPECT_EQ(Lookup(0x09, 110), "Compatible USB \r\ndevices");
}

TEST_F(CatalogueTest, TextEndsWhereTheConversionEnded)
{
    // Three middle dots take six bytes: nothing of the old buffer shows through.
    EXPECT_EQ(Lookup(0x09, 106), "\xC2\xB7\xC2\xB7\xC2\xB7");
}

TEST_F(CatalogueTest, LongArgumentsAreCutAtTheBuffer)
{
    const std::string path(3 * kTextBufferSize, 'p');
    const std::string text = Lookup(0x09, 3005, path.c_str());
    EXPECT_EQ(text.size(), kTextBufferSize - 1);
    EXPECT_EQ(text.substr(0, 3), "[pp");
}

TEST_F(CatalogueTest, OverlongEntriesAreNotFormatted)
{
    catalogue.Set(0x409, 200, std::u16string(kMaxEntryBytes + 1, u'a'));
    EXPECT_EQ(Lookup(0x09, 200), "");
    catalogue.Set(0x409, 201, std::u16string(kMaxEntryBytes, u'a'));
    EXPECT_EQ(Lookup(0x09, 201).size(), kMaxEntryBytes);
}

TEST(FindBlockEntryTest, NeverReadsPastAShortOrDamagedBlock)
{
    // Entry 0 claims more units than the block holds.
    const uint16_t damaged[] = {5, 'a', 'b'};
    const uint16_t* entry = nullptr;
    size_t length = 0;
    EXPECT_FALSE(FindBlockEntry({damaged, 3}, 0, &entry, &length));
    // Only two of sixteen entries present.
    const uint16_t shortBlock[] = {1, 'a', 2, 'b', 'c'};
    ASSERT_TRUE(FindBlockEntry({shortBlock, 5}, 1, &entry, &length));
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(entry[0], 'b');
    EXPECT_FALSE(FindBlockEntry({shortBlock, 5}, 2, &entry, &length));
    EXPECT_FALSE(FindBlockEntry({nullptr, 0}, 0, &entry, &length));
    EXPECT_FALSE(FindBlockEntry({shortBlock, 5}, 16, &entry, &length));
    // Entry 1 claims the two units left from its length on: one more than
    // the block holds after the length itself. Exactly the units left is fine.
    const std::vector<uint16_t> oneShort = {1, 'a', 2, 'b'};
    EXPECT_FALSE(FindBlockEntry({oneShort.data(), oneShort.size()}, 1, &entry, &length));
    const std::vector<uint16_t> exact = {1, 'a', 1, 'b'};
    ASSERT_TRUE(FindBlockEntry({exact.data(), exact.size()}, 1, &entry, &length));
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(entry[0], 'b');
}

// The texts of one string-table file, by name: adjacent literals joined,
// the web address put in, "" read as one quote.
std::map<std::string, std::string> ReadStringTable(const std::string& file)
{
    std::ifstream in(std::string(TDW_RESOURCE_DIR) + "/" + file);
    std::map<std::string, std::string> texts;
    const std::regex start(R"re(^\s*(IDS_\w+),\s*(.*)$)re"), token(R"re(\s*("((?:[^"]|"")*)"|WEB_ADDRESS))re"),
        goesOn(R"re(^\s*("|WEB_ADDRESS).*)re");
    std::string line, name;
    while (std::getline(in, line)) {
        std::smatch match;
        std::string rest = line;
        if (std::regex_match(line, match, start)) {
            name = match[1];
            rest = match[2];
        } else if (!std::regex_match(line, goesOn)) {
            name.clear();
            continue;
        }
        for (std::sregex_iterator it(rest.begin(), rest.end(), token), end; !name.empty() && it != end; ++it)
            texts[name] += (*it)[1] == "WEB_ADDRESS" ? std::string("www.example.org")
                                                     : std::regex_replace((*it)[2].str(), std::regex("\"\""), "\"");
    }
    return texts;
}

// Every text as the program fills it in: "E:" where a drive goes, and what
// its callers give the texts that take a file name or a date.
TEST(CatalogueTexts, FormattedWithADriveAndADateReadWholeInBothLanguages)
{
    std::map<std::string, std::vector<std::string>> kArguments = {
        {"IDS_IMAGE_SHA256", {"T64DEMO1.IMG", "5d41402abc4b2a76"}},
        {"IDS_REBOOT_WRITTEN", {"T64DEMO1.IMG", "E:"}},
        {"IDS_TRIMMED_IMAGE", {"T64DEMO1.IMG", "1,474,000", "560"}},
        {"IDS_NO_COPY_NO_SPACE", {"E:", "C:"}},
        {"IDS_OLDEST_COPY_GOES", {"E:", "F:", "8-12-2026 10:15"}},
        {"IDS_COPIES_SET_ASIDE", {"TalvixOS Disk Writer (set aside 2026-12-08)"}},
        {"IDS_WRITE_UNKEPT_ASK", {"No copy of drive E: could be kept."}},
        {"IDS_UNKEPT_NOT_WRITTEN", {"No copy of drive E: could be kept."}},
        {"IDS_FIXED_NOT_WRITTEN_UNKEPT", {"No copy of drive E: could be kept."}},
        {"IDS_BAD_SPOT_BYTE", {"E:", "1,024,000"}},
        {"IDS_DIFFERS_AT_BYTE", {"1,024,000"}},
    };
    for (const char* dated : {"IDS_PUT_BACK_OFFER", "IDS_WRITE_CUT_SHORT", "IDS_PUT_BACK_OFFER_DISKETTE",
                              "IDS_PUT_BACK_ASK_DISKETTE", "IDS_PUT_BACK_ASK_MEDIUM", "IDS_PUT_BACK_ASK_CHANGED",
                              "IDS_WRITE_CUT_SHORT_NO_COPY"})
        kArguments[dated] = {"E:", "8-12-2026 10:15"};
    const std::regex conversion("%(\\.1s|s|d|u)");
    const auto english = ReadStringTable("strings_en.rc"), dutch = ReadStringTable("strings_nl.rc");
    ASSERT_GT(english.size(), 90u);
    for (const auto& table : {english, dutch}) {
        EXPECT_EQ(table.size(), english.size()) << "a text is missing from one language";
        for (const auto& [name, text] : table) {
            SCOPED_TRACE(name + ": " + text);
            std::vector<std::string> given = kArguments.count(name) != 0 ? kArguments[name] : std::vector<std::string>();
            std::string filled;
            size_t at = 0, strings = 0;
            for (std::sregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it) {
                const std::string kind = (*it)[1];
                const std::string drive = strings < given.size() ? given[strings] : "E:";
                filled += text.substr(at, static_cast<size_t>(it->position()) - at) +
                          (kind == ".1s" ? "E" : kind == "s" ? drive : "5");
                strings += kind == "s";
                at = static_cast<size_t>(it->position() + it->length());
            }
            filled += text.substr(at);
            EXPECT_EQ(filled.find("::"), std::string::npos);
            EXPECT_EQ(filled.find('%'), std::string::npos) << "a conversion no caller fills";
            EXPECT_FALSE(filled.empty() || filled == "...");
        }
    }
}

// Wordings that read wrong, or differ from the one used for the same thing
// elsewhere, kept out of every text of their language.
TEST(CatalogueTexts, OneWordingForOneThing)
{
    const auto english = ReadStringTable("strings_en.rc"), dutch = ReadStringTable("strings_nl.rc");
    const struct {
        const std::map<std::string, std::string>* table;
        const char* wording;
    } kAvoided[] = {
        {&english, "written on it on"}, {&english, "was changed since the image"}, {&english, "on this Windows"},
        {&english, "refused the folder"}, {&english, "on ?"}, {&english, "letter %s"},
        {&dutch, "zich als vast meldt"}, {&dutch, "vaste schijf voordoet"}, {&dutch, "verwijder het"},
        {&dutch, "op deze Windows"}, {&dutch, "nokje"}, {&dutch, "Wilt u het schrijven"},
        {&dutch, "byte geschreven"},
    };
    for (const auto& avoided : kAvoided)
        for (const auto& [name, text] : *avoided.table)
            EXPECT_EQ(text.find(avoided.wording), std::string::npos) << name << ": " << text;
}

}  // namespace
