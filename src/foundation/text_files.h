#pragma once
// Text files: the user's files come in whatever encoding their editor chose (aircraft.cfg
// and sim.cfg of liveries, registration-code and airport lists) and are turned into UTF-8
// lines; the program's own text files are UTF-8 with LF line ends.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

enum class Charset : int32_t {
    Ansi = 0,              // "ANSI": the active Windows code page
    Unicode = 1,           // "Unicode": UTF-16 little-endian
    UnicodeBigEndian = 2,  // "Unicode_big_endian"
    Utf8WithBom = 3,       // "UTF8_with_BOM"
    Utf8WithoutBom = 4,    // "UTF8_without_BOM", plain ASCII included
    NoneFound = 5,         // "none_found": the file could not be opened
};

// The name shown in messages; std::out_of_range for a value outside the enumeration.
const std::string& gf_charsetName(Charset charset);

// Decides by the byte-order mark or the zero bytes of UTF-16 in the first four bytes;
// otherwise the whole file must be valid UTF-8 to count as UTF-8, else it is ANSI.
Charset gf_detectCharset(const std::filesystem::path& path);

// Clears lines and fills them with the file's lines in UTF-8, read as charset says.
// False when the file cannot be opened or read; a failure of another kind is also shown
// on the message line. UTF-8 content that is not valid UTF-8 is read as ANSI, so that no
// invalid text reaches the program's own files.
bool gf_readTextFileLines(Charset charset, const std::filesystem::path& path,
                          std::vector<std::string>& lines);

// gf_detectCharset and gf_readTextFileLines in one read of the file. The charset is
// NoneFound when the file cannot be opened; `read` is false when it cannot be read or
// converted. The lines are cleared first.
struct TextFileRead {
    Charset charset = Charset::NoneFound;
    bool read = false;
};
TextFileRead gf_readTextFile(const std::filesystem::path& path, std::vector<std::string>& lines);

// Text in the active code page (natively Windows-1252) as UTF-8; never fails.
std::string gf_ansiToUtf8(std::string_view text);
// Text in Windows-1252 as UTF-8 whatever the active code page; never fails.
std::string gf_cp1252ToUtf8(std::string_view text);
// The path in the active code page, for calls that take narrow paths (natively UTF-8);
// characters the code page lacks become what Windows substitutes.
std::string gf_pathToAnsi(const std::filesystem::path& path);

// Appends the lines of text; a line ends at LF, and one CR before it (or at the very end)
// is dropped; a leading UTF-8 byte-order mark is dropped; a final LF adds no empty line.
void gf_splitLines(std::string_view text, std::vector<std::string>& lines);
// Reads the rest of a stream into bytes; false (nothing read, the position back at the
// start, only a read failure left in the state) when it is empty or cannot be read.
bool gf_readAllBytes(std::istream& in, std::string& bytes);
// Reads the whole stream and appends its lines.
void gf_readStream(std::istream& in, std::vector<std::string>& lines);

enum class ByteOrder { Little, Big };
// Reads a whole UTF-16 file and appends its lines in UTF-8. A byte-order mark decides the
// order and is dropped; without one the file is read in the order given. A file shorter
// than two bytes or of an odd size gives no lines; an unpaired surrogate throws
// std::runtime_error.
void gf_readUtf16Lines(std::istream& in, std::vector<std::string>& lines, ByteOrder withoutMark);

// A text file read as a whole.
struct TextFile {
    std::filesystem::path path;
    std::vector<std::string> lines;
};

// Reads the program's own UTF-8 text file into its lines (cleared first, room reserved
// for the number given); a file that cannot be opened leaves them empty, without a message.
const std::vector<std::string>& gf_readFile(TextFile& file, size_t reserve);
std::vector<std::string> gf_readFile(const std::filesystem::path& path, size_t reserve = 1024);

// Makes text and one LF the whole content of the file, saved through a temporary file.
bool gf_writeFile(std::string_view text, const std::filesystem::path& path);
