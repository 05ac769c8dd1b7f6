#include "data/legacy/jetfile.h"

#include "app/apperror.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mdbtools.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace legacy {

namespace {

constexpr size_t Jet3PageSize = 2048;
constexpr size_t VersionOffset = 0x14;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Reading with O_NOATIME leaves even the access time alone; the kernel allows it only to the file's
// owner, so others fall back to a plain read-only open.
int openUntouched(const QByteArray& path) {
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    return fd;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString damagedMessage(const QString& path, const QString& what) {
    return QStringLiteral("The Access database %1 is damaged: %2. Repair it with Access (Compact and Repair "
                          "Database) and import it again.")
        .arg(shown(path), what);
}

JetFormat checkJetHeader(const char* bytes, size_t size, const QString& path) {
    static const char jetSignature[] = "Standard Jet DB";
    static const char aceSignature[] = "Standard ACE DB";
    const bool signed_ = size >= 4 + sizeof(jetSignature) && bytes[0] == 0 &&
                         (std::memcmp(bytes + 4, jetSignature, sizeof(jetSignature)) == 0 ||
                          std::memcmp(bytes + 4, aceSignature, sizeof(aceSignature)) == 0);
    if (!signed_)
        throw AppError(QStringLiteral("%1 is not an Access database file (.mdb): it does not begin like one. "
                                      "Choose the Pellorin.mdb of the existing installation.")
                           .arg(shown(path)));
    const unsigned version = size > VersionOffset ? static_cast<unsigned char>(bytes[VersionOffset]) : 0xFF;
    if (version == MDB_VER_JET3 || version == MDB_VER_JET4) {
        const size_t pageSize = version == MDB_VER_JET3 ? Jet3PageSize : 2 * Jet3PageSize;
        if (size < 2 * pageSize)
            throw AppError(damagedMessage(path, QStringLiteral("it is cut short (%1 bytes)").arg(size)));
        return version == MDB_VER_JET3 ? JetFormat::Jet3 : JetFormat::Jet4;
    }
    if (version >= MDB_VER_ACCDB_2007 && version <= 0x10)
        throw AppError(QStringLiteral("%1 is in a newer Access format (Access 2007 or later), which this "
                                      "program does not import. Open it in Access, save it as an Access "
                                      "2002-2003 database (.mdb) and import that copy.")
                           .arg(shown(path)));
    throw AppError(QStringLiteral("%1 is in an Access format this program does not know (version %2).")
                       .arg(shown(path))
                       .arg(version));
}

JetFile::JetFile(const QString& path) : m_path(path) {
    m_fd = openUntouched(QFile::encodeName(path));
    if (m_fd < 0)
        throw AppError(QStringLiteral("Could not open %1: %2.").arg(shown(path), systemError(errno)));
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        release();
        throw AppError(QStringLiteral("%1 is not a file.").arg(shown(path)));
    }
    m_size = size_t(info.st_size);
    if (m_size > 0) {
        m_map = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (m_map == MAP_FAILED) {
            const int error = errno;
            m_map = nullptr;
            release();
            throw AppError(QStringLiteral("Could not read %1: %2.").arg(shown(path), systemError(error)));
        }
    }
    try {
        m_format = checkJetHeader(static_cast<const char*>(m_map), m_size, path);
    } catch (...) {
        release();
        throw;
    }
    // libmdb reads through a stream over the mapping, so no page read touches the file again.
    m_mdb = mdb_open_buffer(m_map, m_size, MDB_NOFLAGS);
    if (!m_mdb) {
        release();
        throw AppError(damagedMessage(path, QStringLiteral("its first page cannot be read")));
    }
    // Every bound buffer holds at least one page, so long values read page by page always fit.
    mdb_set_bind_size(m_mdb, MDB_BIND_SIZE);
    if (!mdb_read_catalog(m_mdb, MDB_TABLE)) {
        release();
        throw AppError(damagedMessage(path, QStringLiteral("its list of tables cannot be read")));
    }
}

JetFile::~JetFile() {
    release();
}

void JetFile::release() {
    if (m_mdb)
        mdb_close(m_mdb);
    m_mdb = nullptr;
    if (m_map)
        ::munmap(m_map, m_size);
    m_map = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QStringList JetFile::userTables() const {
    QStringList names;
    for (guint i = 0; i < m_mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names.append(QString::fromUtf8(entry->object_name));
    }
    return names;
}

} // namespace legacy
