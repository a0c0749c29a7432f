#include "context/verifiable_findings.h"

#include "engine/dictionary_file.h"
#include "engine/dictionary_kind.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

bool isGeneratedErrorDictionary(std::u16string_view fileName) {
    return fileName == u"homophones.dict";
}

void CuratedErrorWords::load(const Locations& locations,
                             const std::vector<std::u16string>& systemError,
                             const std::vector<std::u16string>& userError) {
    m_words.clear();
    const auto read = [&](DictionaryKind kind, const std::u16string& name) {
        const std::string path = locations.dictionaryDirectory(kind) + utf16ToUtf8Lossy(name);
        const auto bytes = readWholeFile(path);
        if (!bytes) {
            return;
        }
        WordBatch batch;
        parseDictionaryText(decodeDictionaryBytes(*bytes), true, u"", batch);
        for (const auto& entry : batch.entries) {
            m_words.emplace(batch.pool.substr(entry.keyOffset, entry.keyLength));
        }
    };
    for (const auto& name : systemError) {
        if (!isGeneratedErrorDictionary(name)) {
            read(DictionaryKind::SystemError, name);
        }
    }
    for (const auto& name : userError) {
        read(DictionaryKind::UserError, name);
    }
}

std::vector<bool> verifiableFindings(std::span<const rg_BiaoJiCiYuLei> findings,
                                     const CuratedErrorWords& curated) {
    std::vector<bool> out(findings.size(), false);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        out[i] = findings[i].type == FindingType::Error && !curated.contains(findings[i].word);
    }
    return out;
}

}  // namespace kjf
