// Parses the options and file names of palvotrix-cli.
#include "cli/CommandLine.h"

#include "cli/PrintableText.h"
#include "core/NumberText.h"
#include "core/PathParts.h"
#include "core/Utf16Path.h"
#include "core/ValueBox.h"
#include "core/WrittenOutputs.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

const char kUsageText[] =
    "Usage: palvotrix-cli [options] FILE...\n"
    "Processes WAV files in the given order and writes each, under its own name, into the output\n"
    "folder. The run's log goes to standard output.\n"
    "\n"
    "  -o, --output DIR         output folder (default: the current directory)\n"
    "      --volume PERCENT     change the volume, 10 to 1000 (default: unchanged)\n"
    "      --volume-db DB       the same change in dB, -20 to 20\n"
    "      --head-threshold DB  trim the silence at the head below this level, -96 to -12\n"
    "      --head-margin SEC    silence put before the kept audio, -20 to 20 (default 0;\n"
    "                           only together with --head-threshold)\n"
    "      --tail-threshold DB  trim the silence at the tail below this level, -96 to -12\n"
    "      --tail-margin SEC    silence put after the kept audio, -20 to 20 (default 0;\n"
    "                           only together with --tail-threshold)\n"
    "      --normalize DBFS     bring each file's sample peak to this level, -60 to 0\n"
    "      --loudness LUFS      bring each file's integrated loudness (ITU-R BS.1770-4) to\n"
    "                           this level, -70 to -5\n"
    "      --peak-ceiling DB    the peak the gain of --normalize or --loudness never passes,\n"
    "                           -60 to 0 (default: 0 dBFS sample peak; -1 dBTP with --true-peak)\n"
    "      --true-peak          hold the true peak (dBTP) under the ceiling instead of the\n"
    "                           sample peak; with --measure, measure it too\n"
    "      --measure            write nothing; print each file's peak and loudness\n"
    "      --report FILE        write a CSV line for each file to FILE as it ends\n"
    "  -h, --help               show this text\n"
    "      --version            show the version\n"
    "\n"
    "Values outside a range are clamped to it; all are rounded to two decimals. Of --volume and\n"
    "--volume-db the last one given counts; --normalize, --loudness and either of them exclude\n"
    "one another, and --measure excludes every option that changes a file. Ctrl+C ends the run after the file in "
    "progress;\n"
    "SIGTERM and SIGHUP end it at once, without writing the file in progress.\n"
    "\n"
    "Exit status: 0 every file processed, 1 a file failed, 2 a wrong argument, 130 interrupted,\n"
    "128 + the signal when ended by SIGTERM or SIGHUP.\n";

namespace {

enum class OptionId {
    Output,
    Volume,
    VolumeDb,
    HeadThreshold,
    HeadMargin,
    TailThreshold,
    TailMargin,
    Normalize,
    Loudness,
    PeakCeiling,
    TruePeak,
    Measure,
    Report,
    Help,
    Version
};

struct OptionSpec {
    OptionId id;
    std::string_view longName;
    std::string_view shortName;  // empty: none
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {OptionId::Output, "--output", "-o", true},
    {OptionId::Volume, "--volume", "", true},
    {OptionId::VolumeDb, "--volume-db", "", true},
    {OptionId::HeadThreshold, "--head-threshold", "", true},
    {OptionId::HeadMargin, "--head-margin", "", true},
    {OptionId::TailThreshold, "--tail-threshold", "", true},
    {OptionId::TailMargin, "--tail-margin", "", true},
    {OptionId::Help, "--help", "-h", false},
    {OptionId::Normalize, "--normalize", "", true},
    {OptionId::Loudness, "--loudness", "", true},
    {OptionId::PeakCeiling, "--peak-ceiling", "", true},
    {OptionId::TruePeak, "--true-peak", "", false},
    {OptionId::Measure, "--measure", "", false},
    {OptionId::Version, "--version", "", false},
    {OptionId::Report, "--report", "", true},
};

// Options of which at most one may be given: each sets the gain its own way. --volume and
// --volume-db set the same box.
constexpr OptionId kGainOptions[] = {OptionId::Volume, OptionId::VolumeDb, OptionId::Normalize, OptionId::Loudness};

bool IsGainOption(OptionId id) {
    for (const OptionId gain : kGainOptions) {
        if (gain == id) {
            return true;
        }
    }
    return false;
}

// The group an option belongs to for the clash rule: the two volume options are one.
OptionId GainGroup(OptionId id) {
    return id == OptionId::VolumeDb ? OptionId::Volume : id;
}

// Options that change what is written, which --measure does not write.
bool ChangesTheFile(OptionId id) {
    return id != OptionId::TruePeak && id != OptionId::Measure && id != OptionId::Help && id != OptionId::Version;
}

// The window's value boxes as the options have set them; an unset box belongs to an unticked group.
// An end is ticked by its threshold alone.
struct EndBoxes {
    std::optional<float> thresholdDb;
    float marginSec = 0.0f;
};

struct Boxes {
    std::optional<float> percent;
    EndBoxes head;
    EndBoxes tail;
};

// A margin without its threshold is a value in a disabled box: the run does not see it.
TrimEnd EndFromBoxes(const EndBoxes& boxes) {
    if (!boxes.thresholdDb) {
        return {};
    }
    return {*boxes.thresholdDb, boxes.marginSec};
}

class Parser {
public:
    explicit Parser(const std::vector<Argument>& arguments) : arguments_(arguments) {}

    CommandLine Parse() {
        while (next_ < arguments_.size() && result_.action == CommandLine::Action::Run) {
            const Argument& argument = arguments_[next_++];
            const std::string text = Utf8FromUtf16(argument.text.c_str());
            if (optionsEnded_ || text.size() < 2 || text[0] != '-') {
                AddFile(argument);
            } else if (argument.notUtf8) {
                RejectNotUtf8("", *argument.notUtf8);
            } else if (text == "--") {
                optionsEnded_ = true;
            } else {
                ParseOption(text);
            }
        }
        if (result_.action == CommandLine::Action::Run) {
            CheckCombinations();
        }
        if (result_.action == CommandLine::Action::Run) {
            SettingsFromBoxes();
            CheckReportPath();
        }
        return std::move(result_);
    }

private:
    void Reject(std::string error) {
        result_.action = CommandLine::Action::Reject;
        result_.error = std::move(error);
    }

    // An option or its value names no file, so it fails the command line; the message shows its
    // bytes as escapes.
    void RejectNotUtf8(const std::string& prefix, const std::string& given) {
        Reject(prefix + "'" + given + "' is not valid UTF-8");
    }

    void ParseOption(const std::string& text) {
        for (const OptionSpec& option : kOptions) {
            std::optional<std::string> attached;
            if (Matches(option, text, attached)) {
                Apply(option, attached);
                return;
            }
        }
        Reject("unknown option '" + text + "'");
    }

    // Takes "--name", "--name=value", "-o" and "-ovalue"; `attached` receives a value given inline.
    static bool Matches(const OptionSpec& option, const std::string& text, std::optional<std::string>& attached) {
        const std::string_view argument(text);
        if (argument == option.longName || argument == option.shortName) {
            return true;
        }
        const std::size_t longLength = option.longName.size();
        if (argument.size() > longLength && argument.substr(0, longLength) == option.longName &&
            argument[longLength] == '=') {
            attached = text.substr(longLength + 1);
            return true;
        }
        if (option.takesValue && !option.shortName.empty() &&
            argument.substr(0, option.shortName.size()) == option.shortName) {
            attached = text.substr(option.shortName.size());
            return true;
        }
        return false;
    }

    void Apply(const OptionSpec& option, std::optional<std::string> attached) {
        const std::string name(option.longName);
        if (!option.takesValue) {
            if (attached) {
                Reject("option '" + name + "' takes no value");
            } else {
                SetFlag(option);
            }
            return;
        }
        // The value of -o may begin with '-' and is taken as it stands, in UTF-16.
        Utf16String value;
        if (attached) {
            value = Utf16FromUtf8(*attached);
        } else if (next_ < arguments_.size()) {
            const Argument& next = arguments_[next_++];
            if (next.notUtf8) {
                RejectNotUtf8("option '" + name + "': ", *next.notUtf8);
                return;
            }
            value = next.text;
        } else {
            Reject("option '" + name + "' needs a value");
            return;
        }
        Remember(option);
        if (option.id == OptionId::Output) {
            SetOutputFolder(value);
        } else if (option.id == OptionId::Report) {
            SetReportPath(value);
        } else {
            SetNumber(option, Utf8FromUtf16(value.c_str()));
        }
    }

    void SetFlag(const OptionSpec& option) {
        switch (option.id) {
            case OptionId::Help:
                result_.action = CommandLine::Action::ShowHelp;
                break;
            case OptionId::Version:
                result_.action = CommandLine::Action::ShowVersion;
                break;
            default:
                Remember(option);
                break;
        }
    }

    // Remembers an option given, for the rules that join or exclude options.
    void Remember(const OptionSpec& option) { given_.push_back(&option); }

    void SetOutputFolder(const Utf16String& folder) {
        if (folder.size() >= kTextCapacity) {
            Reject("output folder too long (" + std::to_string(kTextCapacity - 1) + " characters at most)");
            return;
        }
        result_.settings.outputFolder = folder;
    }

    void SetNumber(const OptionSpec& option, const std::string& text) {
        const std::optional<float> number = ParseNumber(text);
        if (!number) {
            Reject("option '" + std::string(option.longName) + "': '" + text + "' is not a number");
            return;
        }
        switch (option.id) {
            case OptionId::Volume:
                boxes_.percent = BoxValue(*number, kPercentRange);
                break;
            case OptionId::VolumeDb:
                boxes_.percent = PercentFromVolumeDb(BoxValue(*number, kVolumeDbRange));
                break;
            case OptionId::HeadThreshold:
                boxes_.head.thresholdDb = BoxValue(*number, kThresholdDbRange);
                break;
            case OptionId::HeadMargin:
                boxes_.head.marginSec = BoxValue(*number, kMarginSecRange);
                break;
            case OptionId::TailThreshold:
                boxes_.tail.thresholdDb = BoxValue(*number, kThresholdDbRange);
                break;
            case OptionId::TailMargin:
                boxes_.tail.marginSec = BoxValue(*number, kMarginSecRange);
                break;
            case OptionId::Normalize:
                SetTarget(LevelTarget::Kind::SamplePeak, BoxValue(*number, kPeakTargetRange));
                break;
            case OptionId::Loudness:
                SetTarget(LevelTarget::Kind::Loudness, BoxValue(*number, kLoudnessTargetRange));
                break;
            case OptionId::PeakCeiling:
                ceilingDb_ = BoxValue(*number, kCeilingRange);
                break;
            default:
                break;
        }
    }

    void SetTarget(LevelTarget::Kind kind, float value) {
        result_.settings.target.kind = kind;
        result_.settings.target.value = value;
    }

    // The option given first of those that `matches` picks, other than one in the gain group of
    // `besides`; or null.
    template <class Match>
    const OptionSpec* FirstGiven(Match matches, const OptionSpec* besides = nullptr) const {
        for (const OptionSpec* option : given_) {
            if (matches(*option) && (besides == nullptr || GainGroup(option->id) != GainGroup(besides->id))) {
                return option;
            }
        }
        return nullptr;
    }

    const OptionSpec* Given(OptionId id) const {
        return FirstGiven([id](const OptionSpec& option) { return option.id == id; });
    }

    void RejectClash(const OptionSpec& first, const OptionSpec& second) {
        Reject("options '" + std::string(first.longName) + "' and '" + std::string(second.longName) +
               "' cannot be used together");
    }

    // Two ways of setting the gain, --measure with anything it would not write, or a modifier
    // without the option it modifies: each refused, naming the options.
    void CheckCombinations() {
        const auto gain = [](const OptionSpec& option) { return IsGainOption(option.id); };
        if (const OptionSpec* first = FirstGiven(gain)) {
            if (const OptionSpec* second = FirstGiven(gain, first)) {
                RejectClash(*first, *second);
                return;
            }
        }
        const bool target = result_.settings.target.kind != LevelTarget::Kind::None;
        if (const OptionSpec* measure = Given(OptionId::Measure)) {
            const auto changes = [](const OptionSpec& option) { return ChangesTheFile(option.id); };
            if (const OptionSpec* other = FirstGiven(changes)) {
                RejectClash(*measure, *other);
                return;
            }
            result_.settings.measure = true;
        } else if (Given(OptionId::TruePeak) != nullptr && !target) {
            Reject("option '--true-peak' needs '--normalize', '--loudness' or '--measure'");
            return;
        }
        if (Given(OptionId::PeakCeiling) != nullptr && !target) {
            Reject("option '--peak-ceiling' needs '--normalize' or '--loudness'");
            return;
        }
        LevelTarget& levelTarget = result_.settings.target;
        levelTarget.truePeak = Given(OptionId::TruePeak) != nullptr;
        levelTarget.ceilingDb = ceilingDb_             ? *ceilingDb_
                                : levelTarget.truePeak ? kTruePeakCeilingDb
                                                       : kSamplePeakCeilingDb;
    }

    void AddFile(const Argument& argument) {
        if (argument.notUtf8) {
            // Shown with its bytes as escapes; the escapes add no separator.
            const std::string shown = PrintableText(*argument.notUtf8);
            result_.files.push_back({Utf16FromUtf8(shown), FileReason::Kind::NameNotUtf8, shown});
            return;
        }
        if (argument.text.empty()) {
            Reject("an empty file name was given");
            return;
        }
        // The file name logged and written is what follows the last separator, so every path gets one.
        std::error_code error;
        std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(argument.text), error);
        if (error) {
            Reject("cannot locate '" + Utf8FromUtf16(argument.text.c_str()) + "': " + error.message());
            return;
        }
        Utf16String absolute = Utf16FromPath(path.make_preferred());
        // A path cut to fit would name another file.
        const FileReason::Kind refusal =
            absolute.size() >= kTextCapacity ? FileReason::Kind::InputPathTooLong : FileReason::Kind::None;
        result_.files.push_back({std::move(absolute), refusal, Utf8FromUtf16(argument.text.c_str())});
    }

    void SetReportPath(const Utf16String& argument) {
        const std::string text = Utf8FromUtf16(argument.c_str());
        if (argument.empty()) {
            Reject("option '--report' needs a file name");
            return;
        }
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(argument), error);
        if (error) {
            Reject("cannot locate '" + text + "': " + error.message());
            return;
        }
        result_.settings.reportPath = Utf16FromPath(path);
    }

    // The report would be overwritten by a result, or would overwrite an input before it is read.
    void CheckReportPath() {
        const Utf16String& report = result_.settings.reportPath;
        if (report.empty()) {
            return;
        }
        for (const ListedFile& file : result_.files) {
            if (file.refusal != FileReason::Kind::None) {
                continue;
            }
            if (SameFile(report, file.path)) {
                Reject("the report '" + Utf8FromUtf16(report.c_str()) + "' is also an input");
                return;
            }
            if (SameFile(report, OutputPathOf(file.path))) {
                Reject("the report '" + Utf8FromUtf16(report.c_str()) + "' is also an output");
                return;
            }
        }
    }

    // Relative to the current directory when no folder was given.
    Utf16String OutputPathOf(const Utf16String& input) const {
        const Utf16String& folder = result_.settings.outputFolder;
        const Utf16String name = FileNameOf(input.c_str());
        return folder.empty() ? name : folder + kPathSeparator + name;
    }

    // The same spelling, or two names of one existing file (a link, or a differently written path).
    static bool SameFile(const Utf16String& a, const Utf16String& b) {
        const Utf16String spelling = WrittenOutputs::Normalised(a.c_str());
        if (!spelling.empty() && spelling == WrittenOutputs::Normalised(b.c_str())) {
            return true;
        }
        std::error_code error;
        return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), error) && !error;
    }

    void SettingsFromBoxes() {
        ProcessingValues& values = result_.settings.values;
        if (boxes_.percent) {
            values.gain = GainFromPercent(*boxes_.percent);
        }
        values.head = EndFromBoxes(boxes_.head);
        values.tail = EndFromBoxes(boxes_.tail);
    }

    const std::vector<Argument>& arguments_;
    std::size_t next_ = 0;
    bool optionsEnded_ = false;
    Boxes boxes_;
    std::optional<float> ceilingDb_;
    // The options given, in order.
    std::vector<const OptionSpec*> given_;
    CommandLine result_;
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<Argument>& arguments) {
    return Parser(arguments).Parse();
}
