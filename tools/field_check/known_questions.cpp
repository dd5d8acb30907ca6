#include "known_questions.h"

#include <windows.h>

#include "resources/resource.h"
#include "text/packed_texts.h"
#include "wide_files.h"

namespace {

// The catalogue text `id` of `language` in UTF-8, as the wizard's boxes are
// read; "" when it is absent.
std::string CatalogueText(const std::vector<uint8_t>& texts, uint16_t language, unsigned id) {
    const CatalogueBlock block = FindPackedBlock(texts.data(), texts.size(), language, CatalogueBlockNumber(id));
    const uint16_t* units = nullptr;
    size_t count = 0;
    if (!block.units || !FindBlockEntry(block, id & 15, &units, &count) || count == 0 || count > kMaxEntryBytes)
        return "";
    return Utf8(reinterpret_cast<const wchar_t*>(units), (int)count);
}

}  // namespace

std::vector<KnownQuestion> KnownQuestions(const std::string& program, std::string* failure) {
    std::vector<KnownQuestion> known;
    // Its resources only: nothing of the program runs.
    HMODULE module = LoadLibraryExW(Wide(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        *failure = "the program's catalogue could not be opened (error " + std::to_string(GetLastError()) + ")";
        return known;
    }
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_TEXTS), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const uint8_t* packed = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    const size_t packedSize = found ? SizeofResource(module, found) : 0;
    std::vector<uint8_t> texts(packed ? PackedTextsSize(packed, packedSize) : 0);
    const bool inflated = !texts.empty() && InflatePackedTexts(packed, packedSize, texts.data(), texts.size());
    FreeLibrary(module);
    if (!inflated) {
        *failure = "the program carries no catalogue that could be read";
        return known;
    }
    const struct {
        QuestionKind kind;
        unsigned id;
    } questions[] = {{QuestionKind::FixedDisk, IDS_FIXED_DISK_ASK_ONE},
                     {QuestionKind::FixedDisk, IDS_FIXED_DISK_ASK},
                     {QuestionKind::MediumWritten, IDS_PUT_BACK_ASK_DISKETTE},
                     {QuestionKind::MediumWritten, IDS_PUT_BACK_ASK_MEDIUM}};
    // Each language's tables are stored under its primary language with
    // SUBLANG_DEFAULT, as the program looks them up.
    for (uint16_t language : {MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), MAKELANGID(LANG_DUTCH, SUBLANG_DEFAULT)})
        for (const auto& question : questions) {
            const std::string format = CatalogueText(texts, language, question.id);
            if (!format.empty())
                known.push_back({question.kind, format});
        }
    if (known.empty())
        *failure = "the program's catalogue holds none of the questions the check answers";
    return known;
}
