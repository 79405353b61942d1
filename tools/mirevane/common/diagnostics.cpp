#include "common/diagnostics.h"

#include <stdexcept>

namespace mirevane::tool {

const std::vector<DiagnosticKind>& Diagnostics() {
    using S = Severity;
    static const std::vector<DiagnosticKind> kinds = {
        {"no-main-profile", S::kError,
         "no main profile beside the library: the plug-in builds no gauge",
         "Cab/Mirevane.dll with no Cab/Mirevane.ini",
         "put the main profile beside the library, named after it with .ini"},
        {"table-missing", S::kError,
         "the gauge's table file does not exist: the needle stands at 180 degrees",
         "speed.ini without speed.csv beside it",
         "write the table file, named as the profile with .csv"},
        {"table-empty", S::kError,
         "the table holds no calibration point: the needle stands at 180 degrees",
         "a table of header lines or notes only",
         "write one value,angle line per calibration point"},
        {"table-single-point", S::kError,
         "the table holds one calibration point; at least two are needed", "0,0 as the only line",
         "add a second point: 0,0 and 160,270"},
        {"subject-names-nothing", S::kError, "the subject text reads nothing: the gauge shows 0",
         "Subject = speed, or Subject = panel300",
         "use a subject keyword (kmph, bc, ...) or panelN / soundN with N from 0 to 255"},
        {"utf16-text", S::kError,
         "a profile or table saved as UTF-16: the plug-in finds none of its settings or points",
         "a profile saved as \"Unicode\" by a Windows editor (bytes FF FE, NUL after every "
         "letter)",
         "save it as ANSI or UTF-8 without a byte order mark"},
        {"is-a-folder", S::kError,
         "a profile or table name that names a folder: the plug-in reads nothing from it",
         "Gauge0 = brake with a folder brake.ini beside the library",
         "rename the folder, or name the gauge's profile and table files"},
        {"draws-nothing", S::kError,
         "neither a Needle nor a Division: the gauge is never drawn; blamed on the line that "
         "most likely meant one (a misspelt key or section)",
         "an empty profile, Neddle = 20, or [Elipse] Division = 4",
         "correct the misspelt name, or set [PanelIndex] Needle or [Ellipse] Division"},
        {"needle-out-of-range", S::kError,
         "a plain needle outside panel entries 0..255 is never drawn",
         "[PanelIndex] Needle = 300, or Needle = -1",
         "set Needle to the panel entry of the needle image"},
        {"no-division-entry", S::kError,
         "an elliptic gauge with no division entry in 0..255 is never drawn",
         "Division = 4 without Ellipse0..Ellipse3",
         "set Ellipse0 and the following keys to the panel entries of the needle images"},
        {"gauge-file-not-found", S::kError,
         "a Gauge name whose profile does not exist: no gauge is built for it",
         "[FileName] Gauge0 = bc without bc.ini, or Gauge0 = bc.ini (the plug-in adds .ini)",
         "write the file, or correct or remove the name; a backslash separates folders "
         "(Gauge0 = gauges\\bc)"},
        {"number-with-text", S::kError,
         "a number with a unit, a decimal comma or a comment after it: the plug-in reads the "
         "whole text, which is no number, and keeps the setting's old value",
         "Period = 1.2 s, Period = 1,5, or DampingRatio = 0.5 ; light",
         "write the number alone with a decimal point, and comments on a line of their own: "
         "DampingRatio = 0.5"},
        {"table-semicolons", S::kError,
         "a table saved with semicolons between the fields and decimal commas, as a spreadsheet "
         "in a European locale saves CSV: the plug-in reads wrong points from it",
         "0;30,0 and 100;57,2 (read as value 0, angle 0 and value 100, angle 2)",
         "save it as CSV with a point as decimal separator and commas between the fields"},
        {"panel-unreadable", S::kError,
         "the panel file given with --panel, or found beside the library, cannot be read",
         "--panel Train/panel2.cfg in the wrong folder, or a panel2.cfg that is a folder",
         "name the cab's panel2.cfg, or leave it out with --no-panel"},
        {"panel-entry-undrawn", S::kError,
         "the plug-in writes a panel entry that no element of the panel file reads: that needle "
         "(or that image of an oval gauge) is never drawn; reported at the profile line that "
         "names the entry, since the panel file has no line for it",
         "Needle = 20 in the profile and no [Needle] with Subject = ats20 in panel2.cfg",
         "add a [Needle] with Subject = atsN for the entry, or correct the entry in the profile"},
        {"panel-image-missing", S::kError,
         "a picture the panel file names does not exist in any letter case: the host draws "
         "nothing there",
         "DaytimeImage = needle_bc3.bmp with no such file beside panel2.cfg",
         "put the picture beside the panel file (names are relative to its folder), or correct "
         "the name"},
        {"panel-image-unreadable", S::kError,
         "a picture the panel file names exists but cannot be decoded; the tool draws a marked "
         "placeholder in its place, and the host may fail on it too",
         "a BMP with run-length compression, or a PNG cut short",
         "save the picture again as an uncompressed BMP or a plain PNG"},
        {"unknown-section", S::kWarning,
         "a section the plug-in never reads, with the nearest known name", "[Vibrations]",
         "correct the section name, or remove the section"},
        {"unknown-key", S::kWarning,
         "a key the plug-in never reads, with the nearest known name or the section it belongs in",
         "[Damping] NaturalFrequency = 8", "correct the key name: NaturalFreq"},
        {"outside-section", S::kWarning, "a key line before any section header is never read",
         "Subject = bc on the first line", "move the line under its [section]"},
        {"duplicate-section", S::kWarning,
         "a section that appears again: only the first of that name is read",
         "two [Vibration] sections", "merge the keys into the first section"},
        {"duplicate-key", S::kWarning,
         "a key that appears again in its section: only the first is read",
         "Period = 1 and Period = 2 in one [Vibration]", "keep one line for the key"},
        {"no-value", S::kWarning, "a key line without '=': the setting keeps its earlier value",
         "Amplitude", "write the key as Name = value"},
        {"not-a-number", S::kWarning,
         "a number that does not read: the setting keeps its earlier value",
         "Period = 2.5 s, or Period = 1,5",
         "write the number alone, with a decimal point: Period = 2.5"},
        {"not-an-integer", S::kWarning,
         "a whole number written otherwise: it keeps its earlier value or reads as something else",
         "Needle = 20 px reads as 20; Needle = 0X1F reads as 0",
         "write the whole number alone: Needle = 20"},
        {"main-only-section", S::kWarning,
         "a section that takes effect from the main profile only, written in a further gauge file",
         "[StepValue] in bc.ini", "move the section to the main profile"},
        {"byte-order-mark", S::kWarning,
         "a file that starts with a UTF-8 byte order mark; in a table it spoils the first line",
         "a profile saved as \"UTF-8 with BOM\"",
         "save the file without the mark (ANSI or plain UTF-8)"},
        {"table-line-skipped", S::kWarning,
         "a table line that does not give a calibration point, with the reason",
         "value,angle as a header line, or 20;30", "remove the line, or write it as value,angle"},
        {"table-text-ignored", S::kWarning,
         "text after a number in a table row: the plug-in reads the number and ignores the "
         "text",
         "100 km/h,180 or 100,180 ; end", "keep units and notes out of the rows"},
        {"table-extra-fields", S::kWarning,
         "a table row of more than two fields: the plug-in reads the first two and ignores the "
         "rest",
         "2,5,9,5 meant as 2.5,9.5 (a decimal comma)",
         "write decimals with a point; one value and one angle per row"},
        {"table-duplicate-value", S::kWarning,
         "a value given again in the table: the later line's angle replaces the earlier",
         "60,100 and later 60,104", "keep one line per value"},
        {"table-not-monotonic", S::kWarning,
         "the angles rise and fall as the value grows: the needle turns back inside the table",
         "0,0 / 50,120 / 100,90", "check the angles against the dial picture"},
        {"key-binds-nothing", S::kWarning,
         "a developer key name that names no host key: the action cannot be reached",
         "SwitchAdjustMode = M", "use one of the host key names S, A1, ..., L"},
        {"key-bound-twice", S::kWarning, "two developer actions on one key: one press runs both",
         "AdjustIncrementSmall = A1 and ResetAdjustValue = A1",
         "give each action a key of its own"},
        {"developer-mode-enabled", S::kWarning,
         "developer mode is on: the developer keys can take the needles off their values",
         "[DeveloperMode] Enabled = 1", "set Enabled = 0 (or remove it) before you ship the cab"},
        {"panel-written-twice", S::kWarning,
         "a panel entry written by more than one gauge: each frame the last one's value remains",
         "Needle = 20 in two profiles", "give each gauge entries of its own"},
        {"reads-later-entry", S::kWarning,
         "a gauge reads a panel entry that a later gauge (or itself) writes: it sees the frame "
         "before",
         "gauge 1 with Subject = panel30, written by gauge 2",
         "order the gauges so that the writer comes first, or read the quantity itself"},
        {"division-above-64", S::kWarning,
         "Division above the 64 division entries: only as many divisions as entries are used",
         "Division = 80", "set Division to the number of needle images, at most 64"},
        {"division-without-entry", S::kWarning,
         "a division without a panel entry: the needle vanishes over its angles",
         "Division = 4 with Ellipse2 left out", "set an Ellipse entry for every division"},
        {"ellipse-entry-unused", S::kWarning, "an Ellipse entry that no division draws on",
         "Division = 2 with Ellipse0..Ellipse3 set", "raise Division, or remove the extra entries"},
        {"needle-ignored", S::kWarning,
         "Needle set on an elliptic gauge, which draws on its Ellipse entries only",
         "Needle = 20 with Division = 4", "remove Needle, or set Division below 2"},
        {"max-index-below-subject", S::kWarning,
         "MaxArrayIndex below the entry the subject reads: the gauge reads 0 every frame",
         "Subject = panel150 with MaxArrayIndex = 100", "raise MaxArrayIndex, or remove it"},
        {"vibration-half-set", S::kWarning,
         "Amplitude or Period set without the other: the tremble is off",
         "[Vibration] Amplitude = 2 alone", "set both, or neither"},
        {"vibration-drops-sign", S::kWarning,
         "a tremble on a value that can be negative: negative values show as positive",
         "Subject = am with a [Vibration]", "remove the tremble from gauges of signed values"},
        {"damping-not-elliptic", S::kWarning,
         "damping on a plain needle, which damping never reaches",
         "[Damping] NaturalFreq = 8 with Division below 2",
         "make the gauge elliptic (Division 2 or more) or remove [Damping]"},
        {"damping-never-settles", S::kWarning,
         "damping with a natural frequency and a DampingRatio of 0, or below 0 (which counts as "
         "0): the needle of the elliptic gauge is not damped at all and swings about its value "
         "for ever",
         "[Damping] NaturalFreq = 8 without DampingRatio, or DampingRatio = -0.5",
         "set DampingRatio above 0: 1 settles without overshoot, 0.5 overshoots a little"},
        {"damping-switched-off", S::kWarning,
         "a NaturalFreq below 0 (or not finite) on an elliptic gauge: the plug-in switches the "
         "damping off, as NaturalFreq = 0 does, and the needle follows its value undamped",
         "[Damping] NaturalFreq = -8",
         "write the natural frequency in rad/s, above 0; 0 or no NaturalFreq for no damping"},
        {"flattening-clamped", S::kWarning,
         "a Flattening outside 0 to 1 on an elliptic gauge: the plug-in counts it as 1 when "
         "above (the oval collapses to a line along RotateAngle), as 0 when below (a round dial)",
         "[Ellipse] Flattening = 1.5, or Flattening = -0.2",
         "write 1 minus the short axis over the long one: 0.4 for an oval whose short axis is "
         "0.6 times its long one"},
        {"panel-syntax", S::kWarning,
         "a value in the panel file that does not read (a number, a point, a colour, a flag): "
         "the host keeps its default, so the needle may not be drawn where it is meant to be",
         "[Needle] Location = 120 200, InitialAngle = 30deg, or TransparentColor = blue",
         "write numbers with a decimal point, points as x, y and colours as #RRGGBB"},
        {"panel-image-case", S::kWarning,
         "a picture the panel file names exists only under another letter case: the host on "
         "Windows finds it, a copy of the cab on a case-sensitive file system does not",
         "DaytimeImage = Needle.png with needle.png beside panel2.cfg",
         "write the name as the file is named"},
        {"panel-needle-scale", S::kWarning,
         "a needle on an entry the plug-in writes does not turn 1 degree per 1000 units in "
         "either sense: the plug-in writes thousandths of a degree, so the needle turns too far "
         "or too little; the message says by how much per degree",
         "[Needle] Subject = ats20, Minimum = 0, Maximum = 360, InitialAngle = 0, "
         "LastAngle = 360 (1000 degrees per degree)",
         "make Maximum - Minimum 1000 times LastAngle - InitialAngle: Maximum = 360000"},
        {"panel-double-damping", S::kWarning,
         "the host damps a needle of an elliptic gauge itself: the gauge swaps its needle "
         "between images, and the host's damping runs on each image separately (and on top of "
         "the plug-in's own [Damping])",
         "[Needle] Subject = ats30 with NaturalFreq = 8 and DampingRatio = 0.5",
         "remove NaturalFreq and DampingRatio from the needle, and damp the gauge in its "
         "profile's [Damping]"},
        {"panel-backstop-clips", S::kWarning,
         "Backstop holds a needle between InitialAngle and LastAngle, and values the gauge "
         "writes into its entry (for an elliptic gauge its drawn angles and its parking value) "
         "fall outside: the needle stops there; the message names the gauge values clipped",
         "Backstop = true with InitialAngle = 180, LastAngle = 300 on a needle whose table "
         "runs from 0 to 270 degrees",
         "widen InitialAngle and LastAngle to the angles the gauge reaches, or remove Backstop"},
        {"panel-hub-differs", S::kWarning,
         "the needle images of one elliptic gauge do not share one Location: the needle jumps "
         "when it passes from one image to the next",
         "Location = 300, 200 on ats30 and Location = 302, 200 on ats31",
         "give every image of the gauge the Location of the oval's centre"},
        {"panel-image-lengths", S::kWarning,
         "the needle images of an elliptic gauge are not in the order of length the gauge uses "
         "them in (Ellipse0 longest, the last one shortest): length from the pivot to the far "
         "end of the picture's opaque pixels, after Radius scaling",
         "the pictures of Ellipse2 and Ellipse3 swapped in panel2.cfg",
         "put each image on its entry: the longest on Ellipse0, shorter ones on the following "
         "entries"},
        {"panel-entry-shared", S::kWarning,
         "an entry the plug-in writes as a needle angle (thousandths of a degree) is also read "
         "by a pilot lamp, a digital number or another element that is not a needle",
         "[DigitalNumber] Subject = ats22 beside the needle on ats22",
         "read the quantity itself (Subject = kmph, bc, ...) rather than the needle's entry"},
        {"panel-needle-function", S::kNote,
         "a needle on an entry the plug-in writes is drawn by a Function, a formula of the host "
         "that replaces Subject and the angle mapping: the tool does not evaluate it and does "
         "not check its scale or Backstop",
         "a [Needle] with Subject = ats20 and a Function line",
         "nothing, if the formula is meant; else remove Function and map the entry with "
         "Minimum, Maximum, InitialAngle and LastAngle"},
        {"panel-entry-foreign", S::kNote,
         "an element of the panel reads an atsN entry that no gauge of this plug-in writes: "
         "another plug-in may write it",
         "[PilotLamp] Subject = ats99 in a cab whose gauges write entries 20 to 47",
         "nothing, if another plug-in writes the entry; else correct the entry"},
        {"panel-image-outside", S::kNote,
         "a picture the panel file names lies outside the panel file's folder (links "
         "followed): the tool reads pictures only inside it, so it does not measure or draw it",
         "DaytimeImage = ..\\shared\\needle.png",
         "copy the picture into the train's folder, or leave it if the host finds it there"},

        // Reported by run, which then writes nothing and exits with status 2 (the errors),
        // or goes on (the warnings).
        {"scenario-unreadable", S::kError, "the scenario cannot be opened or read, or is a folder",
         "--scenario run.csv in the wrong folder",
         "name the scenario file, or - for standard input", "run"},
        {"scenario-header", S::kError,
         "no header row, or an empty, unknown (with the nearest column) or repeated column, or "
         "no time column",
         "speed,time with the column kmph misspelt as speed",
         "start with a header row of known columns, time among them (run --help lists them)",
         "run"},
        {"scenario-separator", S::kError,
         "cells separated by semicolons, as some spreadsheets save CSV", "time;kmph",
         "save the file with commas between cells", "run"},
        {"scenario-quoted", S::kError, "a quoted cell, as a spreadsheet protects a comma",
         "\"1,5\"", "write numbers with a decimal point and no quotes", "run"},
        {"scenario-bad-cell", S::kError,
         "a row of the wrong width, a cell that is not a number or an integer, or an unknown "
         "key name",
         "1000,fast in a time,kmph scenario", "one number per column in every row", "run"},
        {"scenario-time-jump", S::kWarning,
         "the time goes back from one row to the next, as a host's does when the run restarts "
         "or jumps to another place: the plug-in gets it as the host sends it, and the damped "
         "needles take it as a step of no time; said once, with the number of later jumps",
         "a row at 2000 ms after one at 3000 ms",
         "nothing, if the host did so; else sort the rows by time (a wrap past 2147483647 to "
         "-2147483648 is a step forward, not a jump)",
         "run"},
        {"scenario-too-long", S::kError, "--fps would make more than ten million frames",
         "--fps 1000 over three hours", "lower --fps, or split the scenario", "run"},
        {"not-a-profile", S::kError, "the path is a folder, or no main profile is beside it",
         "run Cab/ instead of run Cab/Mirevane.dll",
         "name the library; its profile is the same name with .ini", "run"},
        {"output-refused", S::kError,
         "an output the tool may not write: a symbolic link, a folder, a file the run reads, or "
         "the same file for two outputs",
         "--out Mirevane.csv (the cab's own table)", "name another output file", "run"},
        {"plot-not-svg", S::kError, "--plot names a file that does not end in .svg",
         "--plot run.png", "name the plot .svg (or - for standard output)", "run"},
        {"output-unwritable", S::kError, "an output could not be created or written",
         "--out in a folder that does not exist, or a full disk",
         "name a writable place for the output", "run"},
        {"page-option", S::kError, "--angles or --dial that cannot be read",
         "--dial 0=face.png,200,200 (the radius left out)",
         "--dial GAUGE=image.png,cx,cy,r and --angles ZERO-SENSE as run --help shows", "run"},
        {"dial-picture", S::kError, "a --dial picture that cannot be read or is not a PNG",
         "--dial 0=face.jpg,200,200,180", "give a PNG picture of the dial", "run"},
        {"check-errors", S::kWarning,
         "check finds errors in this configuration: the run shows what the plug-in does with "
         "them",
         "a gauge whose table is missing", "run mirevane check on the library and mend them",
         "run"},
        {"sparse-frames", S::kWarning,
         "no --fps, rows more than 100 ms apart and a damped needle: it sees one frame per row",
         "a scenario row every second and NaturalFreq = 5", "add --fps 30 for frames in between",
         "run"},
        {"path-code-page", S::kWarning,
         "a path with letters the system's ANSI code page cannot spell: the tool reads it by its "
         "short (8.3) name, but the host, whose plug-in finds its files through the ANSI file "
         "functions, will not find them there",
         "a cab in a folder named in Japanese on a Windows set up for Western Europe "
         "(code page 1252)",
         "move the cab to a folder whose path uses only letters of that code page",
         "every command"},
        {"out-of-memory", S::kError,
         "the tool ran out of memory; it names the scenario or cab it was reading, and wrote "
         "nothing",
         "a scenario from standard input larger than the memory, or a line of hundreds of "
         "megabytes",
         "close other programs; give a long scenario as a file, which is read row by row", "run"},
        {"studio-port", S::kError, "the studio cannot listen on the port it was given",
         "mirevane studio Cab/Mirevane.dll --port 80, or a port another program holds",
         "choose another --port, or leave it out for any free one", "studio"},
        {"no-studio", S::kError, "this build of the tool has no studio: it lacks its HTTP library",
         "a Windows tool built where cpp-httplib's source package could not be fetched",
         "use the release's mirevane.exe, or run scripts/install-deps and build again", "studio"},
        {"calibrate-option", S::kError,
         "a --hub, --mark, --rim, --gauge, --turns or --angles of calibrate that cannot be read "
         "or used, such as --rim on a gauge that draws one plain needle",
         "--mark 100@200 (the y coordinate left out), four --rim points, or --rim on a gauge "
         "without [Ellipse] divisions",
         "--hub X,Y and --mark VALUE@X,Y in pixels of the picture, five or more --rim X,Y on an "
         "oval gauge",
         "calibrate"},
        {"calibrate-mark", S::kError,
         "a mark that cannot be read: within 3 px of the hub, where its direction is noise, or a "
         "second mark of the same value",
         "--hub 200,200 --mark 0@201,200, or --mark 50@120,80 --mark 50@300,90",
         "click the mark on the scale, away from the hub; give each value once", "calibrate"},
        {"calibrate-ambiguous", S::kError,
         "two marks next to each other in value half a turn apart or more, or in the same "
         "direction: the needle could turn either way between them (a dial of more than one "
         "turn, clock hands); or the marks' sweep is not within half a turn of --turns",
         "--mark 0@200,380 --mark 100@200,20 on a dial whose needle turns half a turn between "
         "them",
         "add a mark between the two, or give the scale's sweep from its first mark to its "
         "last with --turns N (the studio's 'sweep in turns')",
         "calibrate"},
        {"calibrate-panel-needle", S::kError,
         "calibration on the panel picture cannot take the hub and the screen convention from "
         "the gauge's needle: no needle reads its entries, a needle is drawn by a Function or "
         "does not turn 1 degree per 1000 units, or the needles of an oval gauge turn about "
         "different points or by different mappings",
         "a [Needle] on ats20 with Maximum = 1000 and LastAngle = 120, or Ellipse images whose "
         "Location differ",
         "wire the needle to turn 1 degree per 1000 units (Minimum = 0, Maximum = 360000, "
         "InitialAngle = 0, LastAngle = 360, or another offset), one Location for every image "
         "of a gauge; or calibrate on another picture with --no-panel, --hub and --angles",
         "calibrate"},
        {"save-refused", S::kError,
         "calibrate --write saved nothing: a file changed on disk, an older backup differs, or "
         "a studio is saving the cab",
         "the table edited in another program while calibrate ran",
         "run calibrate again; move an older NAME.bak away to keep it", "calibrate"},
        {"cab-file-refused", S::kError,
         "calibrate changes no file that lies outside the cab's folder or leads out of it "
         "through a link, that the plug-in cannot read (saved as UTF-16) or that is not a "
         "regular file",
         "a gauge's table named ../shared/speed.csv, or a table saved as UTF-16",
         "calibrate without --write and copy the printed rows into the file; save a UTF-16 "
         "file as ANSI or UTF-8",
         "calibrate"},
        {"calibrate-small-dial", S::kWarning,
         "the marks and rim points lie under 40 px from the hub: a pixel there turns the needle "
         "by more than a degree, far coarser than the thousandths printed",
         "a dial cut from a screenshot at 60 px across",
         "use a larger picture of the dial, as the cab's panel draws it", "calibrate"},
        {"calibrate-rim-cover", S::kWarning,
         "the rim points cover less than half a turn about the hub: the fitted ellipse can be "
         "degrees off while its residual stays small",
         "five --rim points all on the upper right quarter of the rim",
         "add rim points round the rest of the rim, or on the tips of the marks", "calibrate"},
        {"calibrate-kept-rows", S::kWarning,
         "rows of the present table that no mark gives stay in the table: they are not from the "
         "picture, and between the marks they may turn the table back",
         "marks at 0, 80 and 160 on a table with rows every 10",
         "add marks for those values, or replace the whole table by the marks (--replace, the "
         "studio's 'replace the whole table')",
         "calibrate"},
    };
    return kinds;
}

const DiagnosticKind& DiagnosticOf(const std::string& code) {
    const DiagnosticKind* kind = FindDiagnostic(code);
    if (kind == nullptr) {
        throw std::logic_error("diagnostic without a registry entry: " + code);
    }
    return *kind;
}

const DiagnosticKind* FindDiagnostic(const std::string& code) {
    for (const DiagnosticKind& kind : Diagnostics()) {
        if (code == kind.code) {
            return &kind;
        }
    }
    return nullptr;
}

} // namespace mirevane::tool
