#include "update/load_common.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "plugin/panel.h"
#include "update/progress.h"

namespace tn {

namespace {

// Large enough that a 100 MB file takes a hundred reads, small enough to stay
// out of the way of the installer.
constexpr std::size_t block_size = 1u << 20;

std::uint64_t file_size_of(std::FILE* file) {
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return 0;
    const long long size = _ftelli64(file);
    _fseeki64(file, 0, SEEK_SET);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return 0;
    const off_t size = ftello(file);
    fseeko(file, 0, SEEK_SET);
#endif
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

}  // namespace

DataFile::~DataFile() {
    if (file_) std::fclose(file_);
}

bool DataFile::open(const std::string& path, std::string& failure) {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    begin_ = end_ = 0;
    eof_ = false;
    errno = 0;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        const int code = errno;
        failure = "Impossibile aprire il file " + path;
        if (code) failure += ": " + std::string(std::strerror(code));
        return false;
    }
    size_ = file_size_of(file_);
    if (buffer_.size() < block_size) buffer_.resize(block_size);
    return true;
}

// Moves the unread tail to the front and reads behind it, growing the buffer
// only when one line fills all of it.
bool DataFile::fill() {
    if (eof_ || !file_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

bool DataFile::next_line(std::string_view& line) {
    std::size_t scanned = begin_;
    for (;;) {
        const char* start = buffer_.data() + scanned;
        if (const void* lf = std::memchr(start, '\n', end_ - scanned)) {
            const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data());
            std::size_t length = stop - begin_;
            if (length > 0 && buffer_[stop - 1] == '\r') --length;
            line = std::string_view(buffer_.data() + begin_, length);
            begin_ = stop + 1;
            return true;
        }
        const std::size_t pending = end_ - begin_;
        if (!fill()) break;
        scanned = begin_ + pending;  // fill() moved the pending bytes to the front
    }
    if (begin_ == end_) return false;
    // The last line, without a line feed: taken as it stands.
    line = std::string_view(buffer_.data() + begin_, end_ - begin_);
    begin_ = end_;
    return true;
}

DataFileState open_data_file(const std::string& path, DataFile& file, std::string& failure) {
    if (!file.open(path, failure)) return DataFileState::failed;
    panel::progress_total = progress_total_for(file.size());
    return panel::progress_total == 0 ? DataFileState::too_short : DataFileState::ready;
}

bool read_counted_line(DataFile& file, LineCounters& counters, std::string_view& line) {
    if (!file.next_line(line)) return false;
    counters.bytes_read += static_cast<std::uint32_t>(line.size()) + 2u;
    return true;
}

LoaderLibraries::LoaderLibraries(const char* connection_failure)
    : vorovuro_("vorovuro.dll"), velt_("velt32w0.dll") {
    if (!vorovuro_) toolkit::show_error("Impossibile caricare la libreria vorovuro.dll(3)");
    if (!velt_) toolkit::show_error("Impossibile caricare la libreria velt32w0.dll(3)");
    if (!vorovuro_ || !velt_) return;

    bool resolved = resolve_vorovuro(vorovuro_, need_exec | need_into | need_last_error, api_);
    guid_ = velt_.function<GetGUid_fn>("GetGUid");
    wait_ = velt_.function<AspettaEvento_fn>("AspettaEvento");
    resolved = resolved && guid_ && wait_;
    if (!resolved) {
        toolkit::show_error("Impossibile creare default data connection");
        return;
    }
    busy_.emplace();
    connection_.emplace(api_);
    if (!*connection_) {
        connection_.reset();
        toolkit::show_error(connection_failure);
    }
}

std::string LoaderLibraries::guid() const { return library_text(guid_()); }

void line_progress(const std::string& table, LineCounters& counters, const LoaderLibraries& libraries) {
    update_load_progress(table, counters.bytes_read, counters.lines_read, libraries.wait());
}

int catalogue_integer(const std::string& answer) {
    // Leading blanks and a sign, then decimal digits to the end.
    std::size_t i = 0;
    while (i < answer.size() && answer[i] == ' ') ++i;
    bool negative = false;
    if (i < answer.size() && (answer[i] == '+' || answer[i] == '-')) negative = answer[i++] == '-';
    const std::size_t digits = i;
    long long value = 0;
    for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i) {
        value = value * 10 + (answer[i] - '0');
        if (value > 2147483648LL) break;
    }
    if (i == digits || i != answer.size() || value > 2147483647LL + (negative ? 1 : 0))
        throw std::runtime_error("'" + answer + "' is not a valid integer value");
    return static_cast<int>(negative ? -value : value);
}

}  // namespace tn
