// Any request body, read as the server reads a form and answered with findings spread over its
// checked text: no crash; the answer is JSON; every match lies inside the posted text, and its
// context shows exactly the match's characters at the context's offset.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "server/check_request.h"
#include "server/check_response.h"
#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto parsed = kjf::server::parseCheckRequest(kjf::server::readForm(body));
    if (!parsed.ok) {
        if (parsed.error.status != 400 || parsed.error.message.empty()) {
            std::abort();
        }
        return 0;
    }
    const auto& request = parsed.request;
    // A finding of one to three units at every fifth unit of the checked text.
    std::vector<kjf::rg_BiaoJiCiYuLei> findings;
    const auto checked = static_cast<std::int32_t>(request.checked.size());
    for (std::int32_t i = 0; i < checked; i += 5) {
        kjf::rg_BiaoJiCiYuLei f;
        f.type = i % 2 == 0 ? kjf::FindingType::Error : kjf::FindingType::Suspected;
        f.position = i;
        f.length = std::min(1 + i % 3, checked - i);
        f.word =
            request.checked.substr(static_cast<std::size_t>(i), static_cast<std::size_t>(f.length));
        // A lone surrogate must not keep the answer from being JSON.
        f.suggestion = f.word;
        f.suggestion.push_back(static_cast<char16_t>(0xD800));
        findings.push_back(std::move(f));
    }
    const auto answer =
        nlohmann::json::parse(kjf::server::checkAnswer(request, findings), nullptr, false);
    if (answer.is_discarded() ||
        (request.disabledRules.empty() && answer["matches"].size() != findings.size())) {
        std::abort();
    }
    for (const auto& match : answer["matches"]) {
        const std::int64_t offset = match["offset"];
        const std::int64_t length = match["length"];
        if (offset < 0 || length < 1 ||
            offset + length > static_cast<std::int64_t>(request.posted.size())) {
            std::abort();
        }
        std::u16string shown = request.posted.substr(static_cast<std::size_t>(offset),
                                                     static_cast<std::size_t>(length));
        for (auto& unit : shown) {
            unit = unit == u'\r' || unit == u'\n' ? u' ' : unit;
        }
        const auto context = kjf::utf8ToUtf16(match["context"]["text"].get<std::string>());
        const std::int64_t at = match["context"]["offset"];
        // A lone surrogate of the posted text is written as U+FFFD in the answer.
        if (kjf::utf16ToUtf8Lossy(shown) !=
            kjf::utf16ToUtf8Lossy(context.substr(static_cast<std::size_t>(at), shown.size()))) {
            std::abort();
        }
    }
    return 0;
}
