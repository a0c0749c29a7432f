#include "zip_support.h"

#include <zip.h>

#include <cstdio>

namespace kjf::test {

std::string buildZip(const std::vector<std::pair<std::string, std::string>>& entries, bool store) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (buffer != nullptr) {
            zip_source_free(buffer);
        }
        return {};
    }
    zip_source_keep(buffer);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source != nullptr) {
                zip_source_free(source);
            }
            continue;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    std::string bytes;
    if (zip_close(archive) != 0) {
        zip_discard(archive);
    } else if (zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        bytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        const zip_int64_t got = zip_source_read(buffer, bytes.data(), bytes.size());
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return bytes;
}

std::optional<std::string> readZipEntry(const std::string& archiveBytes, const std::string& name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (source != nullptr) {
            zip_source_free(source);
        }
        return std::nullopt;
    }
    std::optional<std::string> content;
    if (zip_file_t* file = zip_fopen(archive, name.c_str(), 0)) {
        std::string bytes;
        char chunk[4096];
        zip_int64_t n;
        while ((n = zip_fread(file, chunk, sizeof chunk)) > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        if (n == 0) {
            content = std::move(bytes);
        }
        zip_fclose(file);
    }
    zip_discard(archive);
    return content;
}

std::string buildDocx(const std::string& body) {
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
    const std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
        "<w:body>" +
        body + "<w:sectPr/></w:body></w:document>";
    return buildZip(
        {{"[Content_Types].xml", types}, {"_rels/.rels", rels}, {"word/document.xml", document}});
}

}  // namespace kjf::test
