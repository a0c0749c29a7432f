#include "documents/docx_package.h"

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kjf {

namespace {

// Opens an archive over bytes; flags as for zip_open_from_source. An archive opened for writing
// gets a copy that libzip owns: once it has written the new archive, libzip frees the buffer it
// read from, whether it owned it or not.
zip_t* openArchive(std::string_view bytes, int flags, zip_source_t** sourceOut) {
    zip_error_t error;
    zip_error_init(&error);
    const void* data = bytes.data();
    const bool copy = (flags & ZIP_RDONLY) == 0;
    if (copy) {
        void* owned = std::malloc(bytes.empty() ? 1 : bytes.size());
        if (owned == nullptr) {
            zip_error_fini(&error);
            return nullptr;
        }
        std::memcpy(owned, bytes.data(), bytes.size());
        data = owned;
    }
    zip_source_t* source = zip_source_buffer_create(data, bytes.size(), copy ? 1 : 0, &error);
    if (source == nullptr && copy) {
        std::free(const_cast<void*>(data));
    }
    zip_t* archive = source != nullptr ? zip_open_from_source(source, flags, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        if (source != nullptr) {
            zip_source_free(source);
        }
        return nullptr;
    }
    if (sourceOut != nullptr) {
        *sourceOut = source;
    }
    return archive;
}

}  // namespace

PackageReader::PackageReader(std::string_view bytes)
    : m_archive(openArchive(bytes, ZIP_RDONLY, nullptr)) {}

PackageReader::~PackageReader() {
    if (m_archive != nullptr) {
        zip_discard(m_archive);
    }
}

std::vector<std::string> PackageReader::names() const {
    std::vector<std::string> out;
    if (m_archive == nullptr) {
        return out;
    }
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), 0)) {
            out.emplace_back(name);
        }
    }
    return out;
}

bool PackageReader::contains(const std::string& name) const {
    return m_archive != nullptr && zip_name_locate(m_archive, name.c_str(), 0) >= 0;
}

PackageStatus PackageReader::read(const std::string& name, std::size_t maxSize,
                                  std::string& out) const {
    out.clear();
    if (m_archive == nullptr) {
        return PackageStatus::BrokenArchive;
    }
    const zip_int64_t index = zip_name_locate(m_archive, name.c_str(), 0);
    if (index < 0) {
        return PackageStatus::Missing;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > maxSize) {
        return PackageStatus::TooLarge;
    }
    zip_file_t* file = zip_fopen_index(m_archive, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        return PackageStatus::BrokenEntry;
    }
    PackageStatus status = PackageStatus::Ok;
    // The stored size may lie: count what actually comes out.
    std::string chunk(64 * 1024, '\0');
    while (true) {
        const zip_int64_t n = zip_fread(file, chunk.data(), chunk.size());
        if (n < 0) {
            status = PackageStatus::BrokenEntry;
            break;
        }
        if (n == 0) {
            break;
        }
        if (out.size() + static_cast<std::size_t>(n) > maxSize) {
            status = PackageStatus::TooLarge;
            break;
        }
        out.append(chunk.data(), static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    if (status != PackageStatus::Ok) {
        out.clear();
    }
    return status;
}

std::optional<std::string> rewritePackage(std::string_view bytes,
                                          const std::vector<PackagePart>& parts) {
    zip_source_t* source = nullptr;
    zip_t* archive = openArchive(bytes, 0, &source);
    if (archive == nullptr) {
        return std::nullopt;
    }
    // The source holds the new archive after zip_close and is read from there.
    zip_source_keep(source);
    bool ok = true;
    for (const PackagePart& part : parts) {
        zip_source_t* content =
            zip_source_buffer(archive, part.content.data(), part.content.size(), 0);
        if (content == nullptr) {
            ok = false;
            break;
        }
        const zip_int64_t existing = zip_name_locate(archive, part.name.c_str(), 0);
        zip_int64_t index = existing;
        if (existing >= 0) {
            if (zip_file_replace(archive, static_cast<zip_uint64_t>(existing), content, 0) != 0) {
                index = -1;
            }
        } else {
            index = zip_file_add(archive, part.name.c_str(), content, ZIP_FL_ENC_UTF_8);
        }
        if (index < 0) {
            zip_source_free(content);
            ok = false;
            break;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
    }
    std::optional<std::string> out;
    if (!ok) {
        zip_discard(archive);
    } else if (zip_close(archive) != 0) {
        zip_discard(archive);
    } else if (zip_source_open(source) == 0) {
        zip_source_seek(source, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(source);
        zip_source_seek(source, 0, SEEK_SET);
        std::string written(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        const zip_int64_t got = zip_source_read(source, written.data(), written.size());
        if (got == size) {
            out = std::move(written);
        }
        zip_source_close(source);
    }
    zip_source_free(source);
    return out;
}

}  // namespace kjf
