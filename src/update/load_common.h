// What the table loader and the synonym loader share: the streamed update
// data file with its byte total, the two practice libraries with the seven
// functions a load uses, and the progress step after every non-empty line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/api.h"
#include "db/binding.h"
#include "toolkit/toolkit.h"

namespace tn {

// An update data file read in large blocks.  A line ends at a line feed; a
// carriage return right before it is not part of the line.  The last line
// needs no line feed.  Memory stays bounded by the longest line, whatever the
// size of the file.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Opens `path` for reading only.  On failure returns false with the
    // failure's text in `failure`.
    bool open(const std::string& path, std::string& failure);
    bool is_open() const { return file_ != nullptr; }

    // Size in bytes when it was opened.
    std::uint64_t size() const { return size_; }

    // The next line, valid until the next call; false at the end of the file
    // (or when the file cannot be read any further).
    bool next_line(std::string_view& line);

private:
    bool fill();

    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // first byte not yet handed out
    std::size_t end_ = 0;    // one past the last byte read into buffer_
    bool eof_ = false;
};

enum class DataFileState { failed, too_short, ready };

// Opens the data file of a load and sets the panel's progress_total from its
// size.  `too_short`: less than 128 bytes, so the load has nothing to do.
// `failed`: `failure` says why (the caller decides whether to show it).
DataFileState open_data_file(const std::string& path, DataFile& file, std::string& failure);

// The byte and line counters of one load's line loop.
struct LineCounters {
    std::uint32_t bytes_read = 0;
    std::int32_t lines_read = 0;
};

// Reads the next line and counts its length plus 2 (its line break, taken as
// CR LF) into bytes_read, empty lines included.  False at the end.
bool read_counted_line(DataFile& file, LineCounters& counters, std::string_view& line);

// The two practice libraries of a load, their seven functions, the busy
// cursor and the data connection, released in the reverse order on every
// path.  Each failure shows the loader's error dialog: a library that cannot
// be loaded (both are attempted before either is tested, one dialog each), a
// function missing, and `connection_failure` when the connection is 0 (the
// two loaders word it differently).
class LoaderLibraries {
public:
    explicit LoaderLibraries(const char* connection_failure);
    LoaderLibraries(const LoaderLibraries&) = delete;
    LoaderLibraries& operator=(const LoaderLibraries&) = delete;

    // The connection is ready.
    explicit operator bool() const { return connection_.has_value() && static_cast<bool>(*connection_); }

    Connection& connection() { return *connection_; }
    // A new instance id from GetGUid.
    std::string guid() const;
    // The pause wait's AspettaEvento.
    AspettaEvento_fn wait() const { return wait_; }

private:
    Library vorovuro_;
    Library velt_;
    VorovuroApi api_;
    GetGUid_fn guid_ = nullptr;
    AspettaEvento_fn wait_ = nullptr;
    std::optional<toolkit::BusyCursor> busy_;
    std::optional<Connection> connection_;
};

// The progress step after every non-empty line, once that line's own work is
// done: estimate, status line "Processing <table> (<lines>) @ ...", and the
// pause wait.
void line_progress(const std::string& table, LineCounters& counters, const LoaderLibraries& libraries);

// A catalogue answer (a column number or count) as an integer; throws with
// the conversion's failure text when it is not one.
int catalogue_integer(const std::string& answer);

}  // namespace tn
