#include "api/CsvLineReader.h"

CsvLineReader::Result CsvLineReader::next(std::string& line) {
    using Traits = std::istream::traits_type;
    line.clear();
    std::streambuf* buffer = in_.rdbuf();
    Traits::int_type c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) return Result::End;
    while (!Traits::eq_int_type(c, Traits::eof()) && Traits::to_char_type(c) != '\n') {
        if (line.size() == maxLineLength) return Result::TooLong;
        line.push_back(Traits::to_char_type(c));
        c = buffer->sbumpc();
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return Result::Line;
}

void CsvLineReader::split(const std::string& line, std::vector<std::string>& cells) {
    cells.clear();
    std::size_t start = line.find(',');
    if (start == std::string::npos) return;
    for (++start; start < line.size();) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string::npos) {
            cells.push_back(line.substr(start));
            return;
        }
        cells.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}
