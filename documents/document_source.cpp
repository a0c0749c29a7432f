#include "documents/document_source.h"

#include <sys/stat.h>
#include <xxhash.h>

#include "documents/text_diff.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

const char16_t kSourceMissing[] = u"源文件已不存在或无法读取，无法导出修订稿：";
const char16_t kSourceChanged[] = u"源文件自导入以来已改变，无法导出修订稿：";
const char16_t kSourcePartial[] =
    u"源文件只读入了前一部分（其后有无法解码的内容），导出会丢失其余内容，已拒绝。";
const char16_t kNoDocxSource[] = u"没有可写入修订的源文档。";
const char16_t kOutputIsSource[] = u"导出的文件不能是源文件本身。";
const char16_t kCannotWrite[] = u"无法写入文件：";

std::u16string_view lineBreak(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::CrLf:
            return u"\r\n";
        case LineEnd::Cr:
            return u"\r";
        case LineEnd::Lf:
            break;
    }
    return u"\n";
}

}  // namespace

LineEnd detectLineEnd(std::u16string_view text) {
    std::size_t counts[3] = {0, 0, 0};  // CR LF, LF, CR
    LineEnd first = LineEnd::Lf;
    bool seen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        LineEnd kind;
        if (text[i] == u'\r') {
            kind = i + 1 < text.size() && text[i + 1] == u'\n' ? LineEnd::CrLf : LineEnd::Cr;
            i += kind == LineEnd::CrLf ? 1 : 0;
        } else if (text[i] == u'\n') {
            kind = LineEnd::Lf;
        } else {
            continue;
        }
        if (!seen) {
            first = kind;
            seen = true;
        }
        ++counts[static_cast<int>(kind)];
    }
    LineEnd best = first;
    for (const LineEnd kind : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        if (counts[static_cast<int>(kind)] > counts[static_cast<int>(best)]) {
            best = kind;
        }
    }
    return best;
}

std::string revisedFileName(const std::string& path, SourceKind kind) {
    const auto slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    auto dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) {
        dot = path.size();
    }
    std::string extension = path.substr(dot);
    if (kind == SourceKind::Docx) {
        extension = ".docx";
    } else if (extension.empty()) {
        extension = ".txt";
    }
    return path.substr(0, dot) + "-校对" + extension;
}

std::optional<std::string> encodeRevisedText(const DocumentSource& source,
                                             std::u16string_view current, std::u16string& message) {
    // The imported text as the editor counts it, and where each position came from.
    const std::u16string_view imported = source.importedText;
    std::u16string editorText;
    std::vector<std::size_t> start;  // of each position in imported, and its end
    editorText.reserve(imported.size());
    start.reserve(imported.size() + 1);
    for (std::size_t i = 0; i < imported.size(); ++i) {
        start.push_back(i);
        if (imported[i] == u'\r') {
            editorText.push_back(u'\n');
            if (i + 1 < imported.size() && imported[i + 1] == u'\n') {
                ++i;
            }
        } else {
            editorText.push_back(imported[i]);
        }
    }
    start.push_back(imported.size());

    // Unchanged stretches keep their own bytes (and line breaks); new text gets the source's
    // line-end kind.
    std::u16string text;
    text.reserve(imported.size() + imported.size() / 16);
    std::size_t done = 0;  // positions of editorText copied so far
    for (const TextChange& change : diffTexts(editorText, current)) {
        text.append(imported.substr(start[done], start[change.oldBegin] - start[done]));
        for (std::size_t i = change.newBegin; i < change.newEnd; ++i) {
            if (current[i] == u'\n') {
                text += lineBreak(source.lineEnd);
            } else {
                text.push_back(current[i]);
            }
        }
        done = change.oldEnd;
    }
    text.append(imported.substr(start[done]));

    switch (source.encoding) {
        case TextEncoding::Utf16LeWithMark: {
            std::string bytes = "\xFF\xFE";
            bytes.reserve(2 + text.size() * 2);
            for (const char16_t unit : text) {
                bytes.push_back(static_cast<char>(unit & 0xFF));
                bytes.push_back(static_cast<char>(unit >> 8));
            }
            return bytes;
        }
        case TextEncoding::Gb18030: {
            std::string utf16;
            utf16.reserve(text.size() * 2);
            for (const char16_t unit : text) {
                utf16.push_back(static_cast<char>(unit & 0xFF));
                utf16.push_back(static_cast<char>(unit >> 8));
            }
            // GB18030 takes at most four bytes for a character of one or two units.
            auto bytes = convertEncoding("GB18030", "UTF-16LE", utf16, text.size() * 4 + 4);
            if (!bytes) {
                message =
                    u"文字中有 GB18030 无法表示的字符（如孤立的代理项），无法按源文件的编码写出。";
            }
            return bytes;
        }
        case TextEncoding::Utf8:
        case TextEncoding::Utf8WithMark: {
            // The import keeps the mark as a first U+FEFF; the source's form decides.
            std::u16string_view body = text;
            if (!body.empty() && body.front() == u'\uFEFF') {
                body.remove_prefix(1);
            }
            auto bytes = utf16ToUtf8(body);
            if (!bytes) {
                message =
                    u"文字中有 UTF-8 无法表示的字符（孤立的代理项），无法按源文件的编码写出。";
                return std::nullopt;
            }
            if (source.encoding == TextEncoding::Utf8WithMark || body.size() != text.size()) {
                bytes->insert(0, "\xEF\xBB\xBF");
            }
            return bytes;
        }
    }
    return std::nullopt;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

ExportResult exportRevised(const DocumentSource& source, std::u16string_view current,
                           const std::vector<OpenFinding>& findings, const std::string& outPath,
                           const RevisionSettings& settings) {
    ExportResult result;
    std::string sourceBytes;
    if (!source.path.empty()) {
        if (sameFile(source.path, outPath)) {
            result.message = kOutputIsSource;
            return result;
        }
        ReadFailure failure = ReadFailure::None;
        auto bytes = readWholeFile(source.path, &failure);
        if (!bytes) {
            result.message = kSourceMissing + utf8ToUtf16(source.path);
            return result;
        }
        if (bytes->size() != source.byteSize ||
            XXH3_64bits(bytes->data(), bytes->size()) != source.contentHash) {
            result.message = kSourceChanged + utf8ToUtf16(source.path);
            return result;
        }
        sourceBytes = std::move(*bytes);
    }
    std::string out;
    if (source.kind == SourceKind::Docx) {
        if (source.path.empty()) {
            result.message = kNoDocxSource;
            return result;
        }
        RevisionResult revised =
            writeDocxRevisions(sourceBytes, source.importedText, current, findings, settings);
        if (!revised.ok) {
            result.message = std::move(revised.message);
            return result;
        }
        result.warnings = std::move(revised.warnings);
        out = std::move(revised.docx);
    } else {
        if (!source.complete) {
            result.message = kSourcePartial;
            return result;
        }
        auto bytes = encodeRevisedText(source, current, result.message);
        if (!bytes) {
            return result;
        }
        out = std::move(*bytes);
    }
    if (const WriteResult written = writeFileAtomically(outPath, out); !written) {
        result.message = kCannotWrite + utf8ToUtf16(outPath);
        result.reason = written.reason();
        result.warnings.clear();
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kjf
