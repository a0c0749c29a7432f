// Writing tracked changes and comments into a long .docx document: 300 pages of about 700
// characters in many paragraphs and runs, a few hundred changes.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "documents/document_reader.h"
#include "documents/docx_package.h"
#include "documents/revision_writer.h"
#include "text/utf.h"

namespace {

struct LongDocument {
    std::string docx;
    std::u16string imported;
    std::u16string current;
    std::vector<kjf::OpenFinding> findings;
};

// 300 pages: 2,100 paragraphs of 100 characters in five runs of different formats; 400
// characters replaced and 100 comments.
LongDocument makeDocument() {
    std::mt19937 random(300);
    const std::u16string characters =
        u"的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能"
        u"下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加"
        u"量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与"
        u"关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者"
        u"最立代想已通并提直题党程展五果料象员革位入常文总次品式活设及管特件长求老头基资边流路级少"
        u"图山统接知较将组见计别她手角期根论运农指几九区强放决西被干做必战先回则任取据处队南给色光"
        u"门即保治北造百规热领七海口东导器压志世金增争济阶油思术极交受联什认六共权收证改清己美再采"
        u"转更单风切打白教速花带安场身车例真务具万每目至达走积示议声报斗完类八离华名确才科张信马节"
        u"话米整空元况今集温传土许步群广石记需段研界拉林律叫且究观越织装影算低持音众书布复容儿须际"
        u"商非验连断深难近矿千周委素技备半办青省列习响约支般史感劳便团往酸历市克何除消构府称太准精"
        u"值号率族维划选标写存候毛亲快效斯院查江型眼王按格养易置派层片始却专状育厂京识适属圆包火住"
        u"调满县局照参红细引听该铁价严";
    const char* formats[] = {"", "<w:b/>", "<w:color w:val=\"C00000\"/>", "<w:sz w:val=\"21\"/>",
                             "<w:i/><w:u w:val=\"single\"/>"};
    std::string body;
    std::u16string text;
    for (int p = 0; p < 2100; ++p) {
        body += "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr>";
        for (int r = 0; r < 5; ++r) {
            std::u16string run;
            for (int c = 0; c < 20; ++c) {
                run.push_back(characters[random() % characters.size()]);
            }
            body += std::string("<w:r><w:rPr>") + formats[r] + "</w:rPr><w:t>" +
                    kjf::utf16ToUtf8Lossy(run) + "</w:t></w:r>";
            text += run;
        }
        body += "</w:p>";
        text += u'\n';
    }
    text.pop_back();
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document "
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
        body + "<w:sectPr/></w:body></w:document>";
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
    LongDocument d;
    d.docx = kjf::rewritePackage(std::string("PK\x05\x06", 4) + std::string(18, '\0'),
                                 {{"[Content_Types].xml", types}, {"word/document.xml", document}})
                 .value_or("");
    d.imported = kjf::readDocxText(d.docx).value_or(u"");
    d.current = d.imported;
    for (int change = 0; change < 400; ++change) {
        std::size_t at = random() % d.current.size();
        while (d.current[at] == u'\n') {
            at = random() % d.current.size();
        }
        d.current[at] = characters[random() % characters.size()];
    }
    for (int comment = 0; comment < 100; ++comment) {
        const auto at = static_cast<std::int64_t>(random() % (d.current.size() - 2));
        d.findings.push_back({at, 2, u"", u"", u""});
    }
    return d;
}

void BM_WriteRevisions300Pages(benchmark::State& state) {
    const LongDocument d = makeDocument();
    if (d.imported.size() < 200000) {
        state.SkipWithError("the document was not built");
        return;
    }
    for (auto _ : state) {
        auto result = kjf::writeDocxRevisions(d.docx, d.imported, d.current, d.findings);
        if (!result.ok) {
            state.SkipWithError("refused");
            break;
        }
        benchmark::DoNotOptimize(result.docx.data());
    }
    state.counters["characters"] = static_cast<double>(d.imported.size());
}
BENCHMARK(BM_WriteRevisions300Pages)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
