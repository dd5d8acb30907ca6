// The catalogue's packing: string tables taken out of a resource file as
// windres writes it, deflated, inflated and found again by language and
// block; damaged files and packs refused, never read past their end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/packed_texts.h"
#include "text/text_pack.h"

namespace {

void Put(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One resource of a .res file; type 0xFFFF stands for the name "T".
void AddResource(std::vector<uint8_t>* res, uint16_t type, uint16_t name, uint16_t language,
                 const std::vector<uint16_t>& units) {
    std::vector<uint8_t> header;
    Put(&header, type == 0xFFFF ? 'T' : 0xFFFF, 2);
    Put(&header, type == 0xFFFF ? 0 : type, 2);
    Put(&header, 0xFFFF, 2);
    Put(&header, name, 2);
    Put(&header, 0, 4);  // data version
    Put(&header, 0x30, 2);
    Put(&header, language, 2);
    Put(&header, 0, 4);  // version
    Put(&header, 0, 4);  // characteristics
    Put(res, static_cast<uint32_t>(units.size() * 2), 4);
    Put(res, static_cast<uint32_t>(8 + header.size()), 4);
    res->insert(res->end(), header.begin(), header.end());
    for (uint16_t unit : units)
        Put(res, unit, 2);
    res->resize((res->size() + 3) & ~size_t(3));
}

// Block 1: entry 0 empty, entry 1 `counted`, the 14 others empty.
std::vector<uint16_t> Block(std::vector<uint16_t> counted) {
    counted.insert(counted.begin(), 0);
    counted.resize(counted.size() + 14);
    return counted;
}
const std::vector<uint16_t> kEnglish = Block({2, 'H', 'i'}), kDutch = Block({3, 'H', 'o', 'i'});

std::vector<uint8_t> ResourceFile() {
    std::vector<uint8_t> res;
    AddResource(&res, 0, 0, 0, {});  // the empty resource every .res opens with
    AddResource(&res, 6, 1, 0x409, kEnglish);
    AddResource(&res, 10, 1015, 0, {'e', 'n', 0});
    AddResource(&res, 0xFFFF, 7, 0, {1, 2, 3});
    AddResource(&res, 6, 1, 0x413, kDutch);
    return res;
}

TEST(PackedTexts, StringTablesComeBackByLanguageAndBlock) {
    std::vector<uint8_t> packed;
    std::string error;
    ASSERT_TRUE(PackStringTables(ResourceFile(), &packed, &error)) << error;
    std::vector<uint8_t> texts(PackedTextsSize(packed.data(), packed.size()));
    ASSERT_EQ(texts.size(), 2 * 6 + (kEnglish.size() + kDutch.size()) * 2);
    ASSERT_TRUE(InflatePackedTexts(packed.data(), packed.size(), texts.data(), texts.size()));
    for (const auto& [language, units] : {std::pair{0x409, kEnglish}, std::pair{0x413, kDutch}}) {
        const CatalogueBlock block = FindPackedBlock(texts.data(), texts.size(), uint16_t(language), 1);
        ASSERT_NE(block.units, nullptr);
        EXPECT_EQ(std::vector<uint16_t>(block.units, block.units + block.count), units);
    }
    EXPECT_EQ(FindPackedBlock(texts.data(), texts.size(), 0x409, 2).units, nullptr);
    EXPECT_EQ(FindPackedBlock(texts.data(), texts.size(), 0x407, 1).units, nullptr);
    // A run cut short in the Dutch block's units hides that block, not the English one.
    EXPECT_EQ(FindPackedBlock(texts.data(), texts.size() - 2, 0x413, 1).units, nullptr);
    EXPECT_NE(FindPackedBlock(texts.data(), texts.size() - 2, 0x409, 1).units, nullptr);
}

TEST(PackedTexts, DamagedFilesAndPacksAreRefused) {
    std::vector<uint8_t> packed, noTables, res = ResourceFile();
    std::string error;
    EXPECT_FALSE(PackStringTables(std::vector<uint8_t>(res.begin(), res.end() - 8), &packed, &error));
    EXPECT_FALSE(PackStringTables(std::vector<uint8_t>(res.begin(), res.begin() + 36), &packed, &error));
    AddResource(&noTables, 10, 1015, 0, {1});
    EXPECT_FALSE(PackStringTables(noTables, &packed, &error));
    EXPECT_EQ(error, "no string table");

    ASSERT_TRUE(PackStringTables(res, &packed, &error));
    const size_t size = PackedTextsSize(packed.data(), packed.size());
    std::vector<uint8_t> out(size), trailing = packed, huge = packed;
    EXPECT_FALSE(InflatePackedTexts(packed.data(), packed.size() - 3, out.data(), size));  // cut short
    EXPECT_FALSE(InflatePackedTexts(packed.data(), packed.size(), out.data(), size - 2));  // not its size
    trailing.push_back(0);
    EXPECT_FALSE(InflatePackedTexts(trailing.data(), trailing.size(), out.data(), size));
    huge[3] = 0x7F;  // announces 2 GiB
    EXPECT_EQ(PackedTextsSize(huge.data(), huge.size()), 0u);
    EXPECT_EQ(PackedTextsSize(packed.data(), 4), 0u);
}

}  // namespace
