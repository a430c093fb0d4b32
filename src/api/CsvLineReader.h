#pragma once

#include <istream>
#include <string>
#include <vector>

// Reads the lines of a CSV file one at a time without ever holding more
// than a bounded line: a file with a line of gigabytes costs at most
// maxLineLength bytes before it is refused. Lines end at a line feed; a
// carriage return right before it is dropped, so files written with CR LF
// line ends read the same.
class CsvLineReader {
public:
    // Far beyond the longest line of any table (966 gain corrections).
    static constexpr std::size_t maxLineLength = std::size_t(1) << 20;
    // Far beyond the longest chain file: 7414 lines of a bit and a comma.
    static constexpr std::size_t maxChainFileBytes = std::size_t(256) << 10;

    enum class Result { Line, End, TooLong };

    explicit CsvLineReader(std::istream& in) : in_(in) {}

    // The next line without its line end. After TooLong the reader stands
    // inside the long line; callers give up on the file.
    Result next(std::string& line);

    // The cells of a line after its label: the line is cut at every comma,
    // the first cell dropped, empty cells between two commas kept, and a
    // trailing comma yields no empty cell at the end.
    static void split(const std::string& line, std::vector<std::string>& cells);

private:
    std::istream& in_;
};
