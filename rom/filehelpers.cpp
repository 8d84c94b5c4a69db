#include "rom/filehelpers.h"

#include "util/qstringconv.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <sys/stat.h>

namespace DpuRom {

namespace {

constexpr auto& ToQ = YVclUtil::ToQString;

} // namespace

bool ReadWholeFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error) {
    Data.clear();
    QFile file(ToQ(FileName));
    if (!file.open(QIODevice::ReadOnly)) {
        Error = file.errorString().toStdString();
        return false;
    }
    const qint64 size = file.size();
    if (size > 0) {
        Data.resize(static_cast<size_t>(size));
        const qint64 got = file.read(reinterpret_cast<char*>(Data.data()), size);
        if (got != size) {
            Error = got < 0 ? file.errorString().toStdString() : std::string("file shorter than its size");
            Data.clear();
            return false;
        }
    } else if (!file.atEnd()) {
        // Files without a known size (pipes, /proc): read to the end.
        const QByteArray all = file.readAll();
        Data.assign(all.begin(), all.end());
    }
    return true;
}

bool WriteFileAtomically(const std::string& FileName, const uint8_t* Data, size_t Size,
                         std::string& Error) {
    QSaveFile file(ToQ(FileName));
    if (!file.open(QIODevice::WriteOnly)) {
        Error = file.errorString().toStdString();
        return false;
    }
    if (Size > 0 && file.write(reinterpret_cast<const char*>(Data), static_cast<qint64>(Size)) !=
                        static_cast<qint64>(Size)) {
        Error = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        Error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool RegularFileSize(const std::string& FileName, uint64_t& Size) {
    Size = 0;
    if (FileName.empty())
        return false;
    // The name goes through the same text conversion the file classes use, so
    // a name they cannot reach is not found here either.
    const QByteArray native = QFile::encodeName(ToQ(FileName));
    struct stat st {};
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    Size = static_cast<uint64_t>(st.st_size);
    return true;
}

} // namespace DpuRom
