#include "data/outputfile.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/nativename.h"
#include "data/connectionstring.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The database files whose overwriting would lose the operator's data.
QStringList databaseFiles() {
    QStringList files;
    try {
        const ConnectionSettings settings = parseConnectionString(connectionString());
        if (!settings.isPostgres() && !settings.dataSource.isEmpty())
            files.append(settings.dataSource);
    } catch (const AppError&) {
        // A connection string that cannot be read opens no file either.
    }
    if (!AppFacts::applicationDirectory().isEmpty())
        files.append(QDir(AppFacts::applicationDirectory()).filePath(AppFacts::databaseFileName()));
    QStringList withWorkingFiles;
    for (const QString& file : files)
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            withWorkingFiles.append(file + QLatin1String(suffix));
    return withWorkingFiles;
}

// The path with symbolic links of its last part followed, and its folder made canonical, so that two
// names of one file that does not exist yet compare equal.
QByteArray resolvedName(const QByteArray& path) {
    QByteArray current = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[4096];
        const ssize_t length = ::readlink(current.constData(), target, sizeof target - 1);
        if (length <= 0)
            break;
        const QByteArray next(target, length);
        if (next.startsWith('/'))
            current = next;
        else {
            const qsizetype slash = current.lastIndexOf('/');
            current = (slash < 0 ? QByteArray() : current.left(slash + 1)) + next;
        }
    }
    const qsizetype slash = current.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : current.left(slash);
    char real[PATH_MAX];
    if (!::realpath(folder.constData(), real))
        return current;
    return QByteArray(real) + '/' + current.mid(slash + 1);
}

bool sameFile(const QByteArray& a, const QByteArray& b) {
    struct stat first {
    }, second{};
    if (::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return resolvedName(a) == resolvedName(b);
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void refuseDatabaseFile(const QString& path) {
    const QByteArray target = app::encodeNativeName(path);
    for (const QString& file : databaseFiles())
        if (sameFile(target, app::encodeNativeName(file)))
            throw AppError(QStringLiteral("%1 is the database in use or one of its working files (%2); "
                                          "writing it would destroy the data. Choose another file name.")
                               .arg(shown(path), shown(file)));
}

OutputFile::OutputFile(QString path, Durability durability)
    : m_path(std::move(path)), m_target(app::encodeNativeName(m_path)), m_durability(durability) {
    // Writing through a link writes the file it leads to; the link stays.
    struct stat link {};
    if (::lstat(m_target.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        m_target = resolvedName(m_target);
}

OutputFile::~OutputFile() {
    cancel();
}

void OutputFile::open(QIODevice::OpenMode extra) {
    const auto refuse = [this](const QString& cause) {
        return AppError(QStringLiteral("Could not write the file %1: %2").arg(shown(m_path), cause));
    };
    if (m_path.isEmpty())
        throw refuse(QStringLiteral("no file name was given."));
    refuseDatabaseFile(m_path);
    struct stat existing {};
    const bool exists = ::stat(m_target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw refuse(QStringLiteral("it is a folder. Name a file inside it."));
    if (exists && S_ISSOCK(existing.st_mode))
        throw refuse(QStringLiteral("it is a socket, not a file. Choose another file name."));
    int fd = -1;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a named pipe is what the operator wants written to; renaming would replace it. A
        // pipe that nobody reads is refused at once instead of waiting for a reader forever.
        fd = ::open(m_target.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENXIO)
            throw refuse(QStringLiteral("no program reads from this pipe. Start the reading program first."));
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    } else {
        const qsizetype slash = m_target.lastIndexOf('/');
        m_temporary = m_target.left(slash + 1) + ".pellorin-" + m_target.mid(slash + 1).left(64) + "-XXXXXX";
        fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        if (fd < 0)
            m_temporary.clear();
        else
            ::fchmod(fd, exists ? (existing.st_mode & 07777) : newFileMode());
    }
    if (fd < 0)
        throw refuse(systemError(errno) +
                     QStringLiteral(". Check that the folder exists and that you may write there."));
    if (!m_file.open(fd, QIODevice::WriteOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        cancel();
        throw refuse(m_file.errorString());
    }
    m_open = true;
}

bool OutputFile::commit() {
    if (!m_open)
        return false;
    // A full disk shows in the last flush of buffered writes, or in the sync.
    const bool written = m_file.flush() && m_file.error() == QFileDevice::NoError;
    const bool synced = written && (m_temporary.isEmpty() || m_durability == Durability::Scratch ||
                                    ::fsync(m_file.handle()) == 0);
    const QString failure = !written ? m_file.errorString() : synced ? QString() : systemError(errno);
    m_file.close();
    m_open = false;
    if (synced && !m_temporary.isEmpty() && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        m_error = systemError(errno);
    else if (!synced)
        m_error = failure;
    if (!m_temporary.isEmpty() && !m_error.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
    return m_error.isEmpty();
}

void OutputFile::cancel() {
    if (m_open)
        m_file.close();
    m_open = false;
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

} // namespace data
