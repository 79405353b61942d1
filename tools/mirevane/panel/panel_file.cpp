#include "panel/panel_file.h"

#include "common/number_text.h"
#include "common/tool_error.h"
#include "config/text.h"
#include "panel/file_bytes.h"
#include "panel/panel_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <limits>

namespace mirevane::tool {
namespace {

struct KindName {
    PanelElementKind kind;
    const char* name;
};
constexpr std::array<KindName, 7> kKindNames = {{
    {PanelElementKind::kNeedle, "Needle"},
    {PanelElementKind::kPilotLamp, "PilotLamp"},
    {PanelElementKind::kLinearGauge, "LinearGauge"},
    {PanelElementKind::kDigitalNumber, "DigitalNumber"},
    {PanelElementKind::kDigitalGauge, "DigitalGauge"},
    {PanelElementKind::kTimetable, "Timetable"},
    {PanelElementKind::kWindscreen, "Windscreen"},
}};

// 1-based column of a byte offset in a line of UTF-8, counted in characters as an editor shows
// them.
int ColumnOf(std::string_view line, std::size_t offset) {
    int column = 1;
    for (std::size_t i = 0; i < offset && i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return column;
}

// The keys of one section as written, before their values are read.
struct RawSection {
    bool isThis = false;
    PanelElementKind kind = PanelElementKind::kNeedle;
    PanelSpot spot;
    std::map<std::string, PanelKey> keys;
};

// Decimal only, as the host writes its numbers: an optional sign, digits, an optional fraction.
bool IsDecimal(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool ReadDecimal(const std::string& text, double& number) {
    return IsDecimal(text) && ReadNumber(text, number);
}

bool ReadPoint(const std::string& text, PanelPoint& point) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return false;
    }
    PanelPoint read;
    if (!ReadDecimal(std::string(TrimBlanks(std::string_view(text).substr(0, comma))), read.x) ||
        !ReadDecimal(std::string(TrimBlanks(std::string_view(text).substr(comma + 1))), read.y)) {
        return false;
    }
    point = read;
    return true;
}

// #RRGGBB; the '#' may be left out, hex digits in either case.
bool ReadColour(const std::string& text, PanelColour& colour) {
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '#') {
        digits.remove_prefix(1);
    }
    if (digits.size() != 6) {
        return false;
    }
    uint8_t parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        const int high = DigitValue(digits[2 * i]);
        const int low = DigitValue(digits[2 * i + 1]);
        if (high < 0 || high > 15 || low < 0 || low > 15) {
            return false;
        }
        parts[i] = static_cast<uint8_t>(high * 16 + low);
    }
    colour = {parts[0], parts[1], parts[2]};
    return true;
}

bool ReadFlag(const std::string& text, bool& flag) {
    const std::string lower = LowerAscii(text);
    if (lower == "true" || lower == "1") {
        flag = true;
    } else if (lower == "false" || lower == "0") {
        flag = false;
    } else {
        return false;
    }
    return true;
}

bool ReadInteger(const std::string& text, int& number) {
    const char* first = text.data() + (text.size() > 1 && text.front() == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    int read = 0;
    const auto [end, error] = std::from_chars(first, last, read);
    if (error != std::errc() || end != last || first == last) {
        return false;
    }
    number = read;
    return true;
}

std::string ColourText(PanelColour colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "#";
    for (const uint8_t part : {colour.red, colour.green, colour.blue}) {
        text += kHex[part >> 4];
        text += kHex[part & 15];
    }
    return text;
}

PanelSubject ReadSubject(const std::string& text) {
    PanelSubject subject;
    subject.text = text;
    const std::string lower = LowerAscii(text);
    const std::string_view digits =
        std::string_view(lower).substr(std::min<std::size_t>(3, lower.size()));
    int32_t entry = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), entry);
    if (lower.compare(0, 3, "ats") == 0 && !digits.empty() && error == std::errc() &&
        end == digits.data() + digits.size() && digits.front() != '+' && digits.front() != '-') {
        subject.entry = entry;
    } else {
        subject.quantity = lower;
    }
    return subject;
}

// Reads the keys of one section into typed fields; a value that does not read keeps the
// default and is noted where it stands.
class SectionReader {
public:
    SectionReader(const RawSection& section, std::vector<PanelFile::Problem>& problems)
        : section_(section), problems_(problems) {}

    const PanelKey* Find(const char* lowerName) const {
        const auto found = section_.keys.find(lowerName);
        return found == section_.keys.end() ? nullptr : &found->second;
    }

    void Number(const char* lowerName, const char* shownName, double& number) {
        if (const PanelKey* key = Find(lowerName)) {
            double read = 0.0;
            if (ReadDecimal(key->value, read)) {
                number = read;
            } else {
                Problem(*key, shownName, "is not a number", Shortest(number));
            }
        }
    }

    void OptionalNumber(const char* lowerName, const char* shownName,
                        std::optional<double>& number) {
        if (const PanelKey* key = Find(lowerName)) {
            double read = 0.0;
            if (ReadDecimal(key->value, read)) {
                number = read;
            } else {
                Problem(*key, shownName, "is not a number", "unset");
            }
        }
    }

    void Integer(const char* lowerName, const char* shownName, int& number) {
        if (const PanelKey* key = Find(lowerName)) {
            if (!ReadInteger(key->value, number)) {
                Problem(*key, shownName, "is not a whole number", std::to_string(number));
            }
        }
    }

    void Point(const char* lowerName, const char* shownName, PanelPoint& point) {
        if (const PanelKey* key = Find(lowerName)) {
            if (!ReadPoint(key->value, point)) {
                Problem(*key, shownName, "is not a point x, y",
                        Shortest(point.x) + ", " + Shortest(point.y));
            }
        }
    }

    void OptionalPoint(const char* lowerName, const char* shownName,
                       std::optional<PanelPoint>& point) {
        if (const PanelKey* key = Find(lowerName)) {
            PanelPoint read;
            if (ReadPoint(key->value, read)) {
                point = read;
            } else {
                Problem(*key, shownName, "is not a point x, y", "the picture's centre");
            }
        }
    }

    void Colour(const char* lowerName, const char* shownName, PanelColour& colour) {
        if (const PanelKey* key = Find(lowerName)) {
            if (!ReadColour(key->value, colour)) {
                Problem(*key, shownName, "is not a colour #RRGGBB", ColourText(colour));
            }
        }
    }

    void Flag(const char* lowerName, const char* shownName, bool& flag) {
        if (const PanelKey* key = Find(lowerName)) {
            if (!ReadFlag(key->value, flag)) {
                Problem(*key, shownName, "is not true or false", flag ? "true" : "false");
            }
        }
    }

    void Image(const char* lowerName, PanelImageName& image) const {
        if (const PanelKey* key = Find(lowerName)) {
            image.name = key->value;
            image.spot = key->spot;
        }
    }

private:
    void Problem(const PanelKey& key, const char* shownName, const char* what,
                 const std::string& kept) {
        problems_.push_back({{key.spot.line, key.valueColumn},
                             std::string(shownName) + " = '" + key.value + "' " + what +
                                 ": the host keeps " + kept});
    }

    const RawSection& section_;
    std::vector<PanelFile::Problem>& problems_;
};

PanelElement ReadElement(const RawSection& section, int order,
                         std::vector<PanelFile::Problem>& problems) {
    PanelElement element;
    element.kind = section.kind;
    element.section = section.spot;
    element.order = order;
    element.keys = section.keys;
    SectionReader reader(section, problems);
    if (const PanelKey* subject = reader.Find("subject")) {
        element.subject = ReadSubject(subject->value);
        element.subjectSpot = subject->spot;
    }
    reader.Point("location", "Location", element.location);
    reader.Image("daytimeimage", element.dayImage);
    reader.Image("nighttimeimage", element.nightImage);
    reader.Colour("transparentcolor", "TransparentColor", element.transparentColour);
    reader.Colour("color", "Color", element.colour);
    reader.OptionalPoint("origin", "Origin", element.origin);
    reader.Number("radius", "Radius", element.radius);
    reader.Number("initialangle", "InitialAngle", element.mapping.initialAngle);
    reader.Number("lastangle", "LastAngle", element.mapping.lastAngle);
    reader.Number("minimum", "Minimum", element.mapping.minimum);
    reader.Number("maximum", "Maximum", element.mapping.maximum);
    reader.Flag("backstop", "Backstop", element.mapping.backstop);
    reader.OptionalNumber("naturalfreq", "NaturalFreq", element.naturalFrequency);
    reader.OptionalNumber("dampingratio", "DampingRatio", element.dampingRatio);
    reader.Integer("layer", "Layer", element.layer);
    if (const PanelKey* function = reader.Find("function")) {
        element.function = function->value;
    }
    return element;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::u8path(path).parent_path().u8string();
    return folder.empty() ? "./" : folder + "/";
}

} // namespace

const char* PanelElementName(PanelElementKind kind) {
    for (const KindName& entry : kKindNames) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return "";
}

PanelSpot PanelElement::SpotOf(const std::string& lowerCaseKey) const {
    const auto found = keys.find(lowerCaseKey);
    return found == keys.end() ? section : found->second.spot;
}

bool PanelElement::HostDamps() const noexcept {
    return naturalFrequency && dampingRatio && *naturalFrequency >= 0 && *dampingRatio >= 0;
}

const PanelElement* PanelFile::NeedleOn(int32_t entry) const {
    for (const PanelElement& element : elements) {
        if (element.kind == PanelElementKind::kNeedle && element.subject.entry == entry) {
            return &element;
        }
    }
    return nullptr;
}

PanelFile ParsePanelText(const std::string& path, const std::string& bytes) {
    std::string_view text(bytes);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.remove_prefix(3);
    }
    // A file that is not UTF-8 was saved in the host's own code page.
    const std::string decoded =
        IsUtf8(std::string(text)) ? std::string(text) : Utf8FromCodePage932(std::string(text));

    PanelFile file;
    file.path = path;
    file.folder = FolderOf(path);
    std::vector<RawSection> sections;
    RawSection* current = nullptr; // nullptr: outside any section the file reads
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < decoded.size()) {
        std::size_t end = decoded.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = decoded.size();
        }
        const std::string_view line(decoded.data() + start, end - start);
        start = end + (decoded.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        ++lineNumber;

        std::string_view content = line.substr(0, line.find(';'));
        const std::string_view trimmed = TrimBlanks(content);
        if (trimmed.empty()) {
            continue;
        }
        const std::size_t at = static_cast<std::size_t>(trimmed.data() - line.data());
        const PanelSpot spot{lineNumber, ColumnOf(line, at)};
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            const std::string name = LowerAscii(std::string(TrimBlanks(trimmed.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1))));
            current = nullptr;
            RawSection section;
            section.spot = spot;
            section.isThis = name == "this";
            bool known = section.isThis;
            for (const KindName& entry : kKindNames) {
                if (name == LowerAscii(entry.name)) {
                    section.kind = entry.kind;
                    known = true;
                }
            }
            if (known) {
                sections.push_back(std::move(section));
                current = &sections.back();
            }
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos) {
            file.problems.push_back({spot, "'" + std::string(trimmed) +
                                               "' has no '=': the host reads nothing from it"});
            continue;
        }
        const std::string name = LowerAscii(std::string(TrimBlanks(trimmed.substr(0, equals))));
        const std::string_view rest = trimmed.substr(equals + 1);
        const std::string_view value = TrimBlanks(rest);
        PanelKey key;
        key.value = std::string(value);
        key.spot = spot;
        const std::size_t valueAt =
            value.empty() ? at + equals + 1 : static_cast<std::size_t>(value.data() - line.data());
        key.valueColumn = ColumnOf(line, valueAt);
        current->keys.emplace(name, std::move(key)); // the first of a name wins
    }

    // [This] may be written more than once; its keys gather, the first of a name winning.
    RawSection page;
    int order = 0;
    for (const RawSection& section : sections) {
        if (section.isThis) {
            page.keys.insert(section.keys.begin(), section.keys.end());
            continue;
        }
        file.elements.push_back(ReadElement(section, order++, file.problems));
    }
    SectionReader reader(page, file.problems);
    reader.Image("daytimeimage", file.dayImage);
    reader.Image("nighttimeimage", file.nightImage);
    reader.Colour("transparentcolor", "TransparentColor", file.transparentColour);
    std::stable_sort(file.problems.begin(), file.problems.end(),
                     [](const PanelFile::Problem& a, const PanelFile::Problem& b) {
                         return a.spot.line < b.spot.line;
                     });
    return file;
}

PanelFile ReadPanelFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::u8path(path), error)) {
        throw InputError(path, 0, 0, "is a folder, not a panel file", "panel-unreadable");
    }
    std::string text;
    if (!ReadFileBytes(std::filesystem::u8path(path), text)) {
        throw InputError(path, 0, 0, "cannot read the panel file", "panel-unreadable");
    }
    return ParsePanelText(path, text);
}

} // namespace mirevane::tool
