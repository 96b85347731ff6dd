#include "databuild/hand_tables.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/text.h"
#include "foundation/text_files.h"

namespace fs = std::filesystem;

namespace databuild {
namespace {

constexpr std::array<std::string_view, g_typeCategoryCount> kCategoryNames = {
    "light", "buzjet", "large", "heavy", "high_performance", "rotorcraft"};

// One table: its rows split at ',', after the header line; '#' lines and blank lines
// are comments.
class Table {
public:
    Table(const fs::path& folder, std::string_view name, std::string_view header) : file_(folder / name)
    {
        std::vector<std::string> lines = gf_readFile(file_);
        if (lines.empty())
            throw std::runtime_error(fmt::format("{}: missing or empty", gf_pathToUtf8(file_)));
        bool headerSeen = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string line = gf_trim(lines[i]);
            if (line.empty() || line.front() == '#')
                continue;
            if (!headerSeen) {
                if (line != header)
                    fail(i + 1, fmt::format("the header must be \"{}\"", header));
                headerSeen = true;
                columns_ = gf_split(line, ',').size();
                continue;
            }
            std::vector<std::string> fields = gf_split(line, ',');
            if (fields.size() != columns_)
                fail(i + 1, fmt::format("{} fields instead of {}", fields.size(), columns_));
            rows_.push_back({i + 1, std::move(fields)});
        }
    }

    struct Row {
        size_t line;
        std::vector<std::string> fields;
    };
    const std::vector<Row>& rows() const& { return rows_; }
    // A temporary table hands its rows over, so that a loop over them outlives it.
    std::vector<Row> rows() && { return std::move(rows_); }

    [[noreturn]] void fail(size_t line, std::string_view what) const
    {
        throw std::runtime_error(fmt::format("{}:{}: {}", gf_pathToUtf8(file_), line, what));
    }

    double number(const Row& row, size_t field) const
    {
        const std::string& text = row.fields[field];
        double value = 0.0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < 0.0)
            fail(row.line, fmt::format("'{}' is not a number", text));
        return value;
    }

private:
    fs::path file_;
    size_t columns_ = 0;
    std::vector<Row> rows_;
};

TypeCategory lf_category(const Table& table, const Table::Row& row, std::string_view name)
{
    for (size_t i = 0; i < kCategoryNames.size(); ++i) {
        if (kCategoryNames[i] == name)
            return static_cast<TypeCategory>(i);
    }
    table.fail(row.line, fmt::format("unknown category '{}'", name));
}

bool lf_yesNo(const Table& table, const Table::Row& row, std::string_view text)
{
    if (text == "yes" || text == "no")
        return text == "yes";
    table.fail(row.line, fmt::format("'{}' is neither yes nor no", text));
}

std::string lf_wake(const Table& table, const Table::Row& row, const std::string& text)
{
    for (const std::string_view wake : {"L", "M", "H", "J", "L/M"}) {
        if (text == wake)
            return text;
    }
    table.fail(row.line, fmt::format("'{}' is no wake category (L, M, H, J or L/M)", text));
}

void lf_readTypes(const fs::path& folder, HandTables& tables)
{
    const Table table(folder, "types.csv", "type,category,wake,cargo,span_m,similar");
    // The reader keeps the first of two entries of a type without a word: a second row
    // would silently lose its figures.
    std::map<std::string, size_t> lineOf;
    for (const Table::Row& row : table.rows()) {
        const double span = table.number(row, 4);
        if (row.fields[0].empty() || span <= 0.0)
            table.fail(row.line, "a type needs its designator and a span above 0");
        if (const auto [it, added] = lineOf.emplace(row.fields[0], row.line); !added)
            table.fail(row.line, fmt::format("{} is listed twice (first at line {})", row.fields[0], it->second));
        tables.types.push_back({row.fields[0], lf_category(table, row, row.fields[1]),
                                lf_yesNo(table, row, row.fields[3]), span, row.fields[5],
                                lf_wake(table, row, row.fields[2])});
    }
}

} // namespace

std::vector<std::vector<std::string>> readTableRows(const fs::path& file, std::string_view header)
{
    std::vector<std::vector<std::string>> rows;
    for (Table::Row& row : Table(file.parent_path(), gf_pathToUtf8(file.filename()), header).rows())
        rows.push_back(std::move(row.fields));
    return rows;
}

std::vector<std::string> listItems(std::string_view field)
{
    std::vector<std::string> items;
    for (std::string& item : gf_split(field, ';')) {
        if (!item.empty())
            items.push_back(std::move(item));
    }
    return items;
}

std::string_view categoryName(TypeCategory category)
{
    return kCategoryNames.at(static_cast<size_t>(category));
}

HandTables readHandTables(const fs::path& folder)
{
    HandTables tables;
    lf_readTypes(folder, tables);
    for (const auto& row : Table(folder, "fixes.csv", "wrong,correct").rows())
        tables.fixes.push_back({row.fields[0], row.fields[1]});
    for (const auto& row : Table(folder, "cargo_operators.csv", "airline").rows())
        tables.cargoOperators.push_back(row.fields[0]);
    for (const auto& row : Table(folder, "publishers.csv", "names,airports").rows())
        tables.publishers.push_back({listItems(row.fields[0]), listItems(row.fields[1])});
    for (const auto& row : Table(folder, "sim_addon_airports.csv", "airport").rows())
        tables.simAddonAirports.push_back(row.fields[0]);
    const Table stands(folder, "stands.csv", "airport,stands");
    for (const auto& row : stands.rows())
        tables.stands[row.fields[0]] = static_cast<int32_t>(stands.number(row, 1));
    return tables;
}

} // namespace databuild
