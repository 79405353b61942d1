// check: the lines of a profile, as the profile functions will read them. Sections and keys
// the format does not have, lines never looked at, and values that do not read as they look.
#include "check/context.h"
#include "common/nearest_name.h"

#include "config/profile_access.h"
#include "config/text.h"
#include "platform/platform.h"

#include <algorithm>
#include <locale>
#include <sstream>

namespace mirevane::tool {
namespace {

// A number followed by more text: "1.2 s", "1,5", "0.5 ; light". The cab builder meant the
// number; the plug-in, which converts the whole text or nothing, keeps the old value.
bool NumberThenText(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double number = 0.0;
    in >> number;
    return !in.fail() && !(in >> std::ws).eof();
}

// What a setting left at its value does to the needle, where that is worth saying. Damping
// and the oval reach an elliptic gauge (Division 2 or more) only.
std::string KeptMeans(const SettingKey& key, const SettingsModel& model) {
    const std::string name = key.name;
    const bool elliptic = model.Division >= 2;
    if (name == "DampingRatio" && elliptic && model.DampingRatio == 0.0 &&
        model.NaturalFreq > 0.0) {
        return ": the needle swings for ever";
    }
    if (name == "NaturalFreq" && elliptic && model.NaturalFreq <= 0.0) {
        return ": the needle is not damped";
    }
    if ((name == "Period" && model.Period == 0.0) ||
        (name == "Amplitude" && model.Amplitude == 0.0)) {
        return ": the needle does not tremble";
    }
    if (name == "Flattening" && elliptic && model.Flattening == 0.0) {
        return ": the oval is drawn as a circle";
    }
    return "";
}

// An integer as the profile functions read it without surprises: optional sign, then
// decimal digits or 0x / 0b / 0o digits, and nothing else, within 32 bits.
bool IsPlainInteger(const std::string& text) {
    const IntegerText split = SplitInteger(text);
    const std::string digits(split.rest);
    if (digits.empty()) {
        return false;
    }
    for (char c : digits) {
        const int d = DigitValue(c);
        if (d < 0 || d >= split.base) {
            return false;
        }
    }
    if (split.base == 10) {
        const std::string magnitude =
            digits.substr(std::min(digits.find_first_not_of('0'), digits.size() - 1));
        const std::string limit = split.negative ? "2147483648" : "2147483647";
        return magnitude.size() < limit.size() ||
               (magnitude.size() == limit.size() && magnitude <= limit);
    }
    return digits.size() <= 32 / (split.base == 16 ? 4 : split.base == 8 ? 3 : 1);
}

// A key numbered beyond its range: Ellipse64, Gauge16.
bool IsNumberedBeyond(const std::string& key, const char* stem, int count) {
    const std::string s = LowerAscii(stem);
    const std::string k = LowerAscii(key);
    if (k.size() <= s.size() || k.compare(0, s.size(), s) != 0) {
        return false;
    }
    const std::string digits = k.substr(s.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6) {
        return false;
    }
    return std::stoi(digits) >= count;
}

} // namespace

void Checker::CheckProfileLines(const std::string& path, const SettingsModel& model, bool further) {
    const ProfileScan& scan = Scan(path);
    if (scan.utf16) {
        Add("utf16-text", path, 0,
            "the profile is saved as UTF-16 (\"Unicode\"): the host reads profiles as ANSI "
            "text and finds none of its settings; save it as ANSI or UTF-8 without a byte "
            "order mark");
        return;
    }
    if (scan.byteOrderMark) {
        Add("byte-order-mark", path, 1,
            "the file starts with a UTF-8 byte order mark; the host reads profiles as ANSI "
            "text: save it without the mark");
    }
    const std::vector<std::string>& sections = ProfileSections();
    for (const ProfileSectionLine& header : scan.sections) {
        const bool known = std::any_of(sections.begin(), sections.end(),
                                       [&](const auto& s) { return SameName(s, header.name); });
        if (!known) {
            const std::string near = NearestName(header.name, sections);
            Add("unknown-section", Where{path, header.line, header.column},
                "unknown section [" + Shortened(header.name) + "]: its keys are never read" +
                    (near.empty() ? "" : " (did you mean [" + near + "]?)"));
        } else if (header.firstLine != header.line) {
            Add("duplicate-section", Where{path, header.line, header.column},
                "section [" + header.name + "] appears again (first at line " +
                    std::to_string(header.firstLine) +
                    "): only the first one is read, the keys here are ignored");
        } else if (further && IsMainProfileSection(header.name)) {
            Add("main-only-section", Where{path, header.line, header.column},
                "section [" + header.name +
                    "] has no effect in a further gauge file: the plug-in takes it from the "
                    "main profile only");
        }
    }

    std::map<std::string, std::vector<const SettingKey*>> bySection;
    for (const SettingKey& known : ProfileFormat()) {
        bySection[LowerAscii(known.row->section)].push_back(&known);
    }
    for (const ProfileKeyLine& line : scan.keys) {
        if (!line.key.empty() && (line.key[0] == ';' || line.key[0] == '#')) {
            continue; // a comment: no key of the format starts with these
        }
        if (line.sectionLine == 0) {
            Add("outside-section", Where{path, line.line, line.column},
                Quoted(Shortened(line.key)) + " stands before any [section]: never read");
            continue;
        }
        const auto section = bySection.find(LowerAscii(line.section));
        if (section == bySection.end() || !line.firstSection) {
            continue; // reported with its section header
        }
        const SettingKey* known = nullptr;
        for (const SettingKey* candidate : section->second) {
            if (SameName(candidate->name, line.key)) {
                known = candidate;
            }
        }
        if (known == nullptr) {
            CheckUnknownKey(path, line);
        } else {
            CheckKeyLine(path, line, *known, model);
        }
    }
}

void Checker::CheckUnknownKey(const std::string& path, const ProfileKeyLine& line) {
    std::string hint;
    if (IsNumberedBeyond(line.key, "Ellipse", kEllipsePanelCount)) {
        hint = " (the division entries run from Ellipse0 to Ellipse63)";
    } else if (IsNumberedBeyond(line.key, "Gauge", kFurtherGaugeCount)) {
        hint = " (the further gauge files run from Gauge0 to Gauge15)";
    } else {
        std::vector<std::string> here;
        std::string elsewhere;
        for (const SettingKey& known : ProfileFormat()) {
            if (SameName(known.row->section, line.section)) {
                here.push_back(known.name);
            } else if (SameName(known.name, line.key)) {
                elsewhere = known.row->section;
            }
        }
        const std::string near = NearestName(line.key, here);
        if (!elsewhere.empty()) {
            hint = " (" + line.key + " belongs in [" + elsewhere + "])";
        } else if (!near.empty()) {
            hint = " (did you mean " + near + "?)";
        }
    }
    Add("unknown-key", Where{path, line.line, line.column},
        "unknown key " + Quoted(Shortened(line.key)) + " in [" + line.section + "]: never read" +
            hint);
}

void Checker::CheckKeyLine(const std::string& path, const ProfileKeyLine& line,
                           const SettingKey& known, const SettingsModel& model) {
    const ProfileScan& scan = Scan(path);
    const ProfileKeyLine* first = scan.Find(line.section, line.key);
    if (first != &line) {
        Add("duplicate-key", Where{path, line.line, line.column},
            known.name + " appears again in [" + line.section + "] (first at line " +
                std::to_string(first->line) + "): only the first is read");
        return;
    }
    if (!line.hasEquals) {
        Add("no-value", Where{path, line.line, line.column},
            known.name + " has no '=': it keeps " + Quoted(CurrentText(model, known)));
        return;
    }
    const std::string text = platform::ProfileText(path, known.row->section, known.name, "");
    if (known.row->type == SettingType::kDouble) {
        double ignored = 0.0;
        if (!ParseWholeDouble(text, ignored) && NumberThenText(text)) {
            Add("number-with-text", Where{path, line.line, line.valueColumn},
                known.name + " = " + Quoted(Shortened(text)) +
                    " is not a number: the plug-in reads the whole text, so " + known.name +
                    " stays " + CurrentText(model, known) + KeptMeans(known, model) +
                    "; write the number alone with a point for decimals, and a comment on a "
                    "line of its own");
        } else if (!ParseWholeDouble(text, ignored)) {
            Add("not-a-number", Where{path, line.line, line.valueColumn},
                text.empty() ? known.name + " has no value: it keeps " + CurrentText(model, known)
                             : known.name + " = " + Quoted(Shortened(text)) +
                                   " is not a number: " + known.name + " keeps " +
                                   CurrentText(model, known) + KeptMeans(known, model));
        }
    } else if (known.row->type == SettingType::kInt) {
        if (text.empty()) {
            Add("not-an-integer", Where{path, line.line, line.valueColumn},
                known.name + " has no value: it keeps " + CurrentText(model, known));
        } else if (!IsPlainInteger(text)) {
            int32_t readAs = 0;
            ReadProfileInt(path, known.row->section, known.name, readAs);
            Add("not-an-integer", Where{path, line.line, line.valueColumn},
                known.name + " = " + Quoted(Shortened(text)) +
                    " is not a whole number: it reads as " + std::to_string(readAs));
        }
    }
}

} // namespace mirevane::tool
